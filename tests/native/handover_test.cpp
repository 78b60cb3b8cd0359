// The install's hand-over: which monitors are closed and how, and which are started again, in
// which session, as whom and in which folder; and what the install's log says of each.

#include <algorithm>

#include "handover/monitor_handover.h"
#include "tests/fake/fake_platform.h"

namespace {

const std::wstring kInstalled = L"C:\\Program Files (x86)\\KESL\\WebATM\\KeslWebATMMonitor.exe";
const std::wstring kTeller = L"S-1-5-21-7-1001";
const std::wstring kTaskkill = L" in C:\\Windows\\system32: C:\\Windows\\system32\\taskkill.exe taskkill.exe /PID 20";
const Lines kAsked = {L"start in session 1 as " + kTeller + kTaskkill, L"wait for 1 up to 10000 ms"};
const std::wstring kStarted = L"start in session 1 as " + kTeller + L" in C:\\Program Files (x86)\\KESL\\WebATM: " +
                              kInstalled + L" \"" + kInstalled + L"\"";
const Lines kClosed = Lines{L"record session 1 " + kTeller} + kAsked + Lines{L"wait for 1 up to 5000 ms"};
const Lines kEndedByForce = {L"terminate 20 exit 1", L"wait for 1 up to 5000 ms"};
const Lines kStartedAgain = {L"forget the record", kStarted};

FakeProcess& Monitor() { return Fake().processes.back(); }

class HandoverTest : public FakeWorldTest {
protected:
    // A teller's monitor runs in session 1, beside a program that is not the monitor.
    void SetUp() override {
        FakeWorldTest::SetUp();
        Fake().processes.push_back({4, L"System"});
        Fake().processes.push_back({20, L"KeslWebATMMonitor.exe"});
        Monitor().path = L"c:\\program files (x86)\\kesl\\webatm\\KeslWebATMMonitor.EXE";
    }
};

TEST_F(HandoverTest, EachMonitorClosedComesBackInItsSessionAsItsUserOrNotAtAll) {
    struct Case {
        const char* name;
        const wchar_t* command;
        void (*beforeClose)();
        void (*beforeStart)();
        Lines journal;
        std::wstring said;  // a line the install's log must hold
    };
    const Case cases[] = {
        {"closed when asked, started again", L"close", [] {}, [] {}, kClosed + kStartedAgain,
         L"monitor 901 started in session 1 as " + kTeller},
        {"removal: closed, never started", L"end", [] {}, [] {}, kAsked + Lines{L"wait for 1 up to 5000 ms"},
         L"monitor 20 closed, exit code 0"},
        {"a monitor of another path: untouched", L"close",
         [] { Monitor().path = L"C:\\Users\\teller\\Desktop\\KeslWebATMMonitor.exe"; }, [] {}, {},
         L"closing, to start again, 0 monitor(s) of " + kInstalled},
        {"will not close: ended after the wait, then started again", L"close", [] { Monitor().closesWhenAsked = false; },
         [] {}, kClosed + kEndedByForce + kStartedAgain, L"monitor 20 ended by force, exit code 1"},
        {"taskkill could not ask: ended at once, then started again", L"close", [] { Fake().taskkillExitCode = 128; },
         [] {}, Lines{L"record session 1 " + kTeller} + kAsked + kEndedByForce + kStartedAgain,
         L"monitor 20: taskkill (process 900) could not ask it to close: exit code 128"},
        {"the session has ended since", L"close", [] {}, [] { Fake().sessionUsers.erase(1); },
         kClosed + Lines{L"forget the record"},
         L"session 1: no user token (the session has ended, or nobody is logged on): error 1008"},
        {"another user in the session since", L"close", [] {}, [] { Fake().sessionUsers[1] = L"S-1-5-21-7-1002"; },
         kClosed + Lines{L"forget the record"},
         L"session 1: S-1-5-21-7-1002 is logged on now, not " + kTeller + L": no monitor is started there"},
        {"another user's in the session: asked as that user, not started as the session's", L"close",
         [] { Monitor().userSid = L"S-1-5-21-7-1002"; }, [] {},
         Lines{L"record session 1 S-1-5-21-7-1002", L"start in session 1 as S-1-5-21-7-1002" + kTaskkill,
               L"wait for 1 up to 10000 ms", L"wait for 1 up to 5000 ms", L"forget the record"},
         L"monitor 20 runs in session 1 as S-1-5-21-7-1002"},
        {"its user's monitor already back (log-on): no second one", L"close", [] {},
         [] {
             Fake().processes.push_back({21, L"KeslWebATMMonitor.exe"});
             Monitor().path = kInstalled;
         },
         kClosed + Lines{L"forget the record"}, L"session 1: a monitor runs there already"},
        {"LocalSystem's in session 0: ended, never started", L"close",
         [] {
             Monitor().session = kServicesSession;
             Monitor().userSid = kLocalSystemSid;
             Fake().sessionUsers[kServicesSession] = kLocalSystemSid;
         },
         [] {}, Lines{L"record session 0 S-1-5-18"} + kEndedByForce + Lines{L"forget the record"},
         L"monitor 20 is not a user's: not asked to close"},
        {"an earlier install's record, no monitor now: forgotten, nothing started", L"close",
         [] {
             Fake().recorded = {{1, kTeller}};
             Monitor().running = false;
         },
         [] {}, {L"forget the record"}, L"starting " + kInstalled + L" again in 0 recorded session(s)"},
    };
    for (const Case& c : cases) {
        SetUp();
        c.beforeClose();
        EXPECT_TRUE(RunHandover(std::wstring(c.command) + L" \"" + kInstalled + L"\"")) << c.name;
        c.beforeStart();
        EXPECT_TRUE(RunHandover(L"start \"" + kInstalled + L"\"")) << c.name;
        EXPECT_EQ(Fake().journal, c.journal) << c.name;
        const Lines& log = Fake().installLog;
        EXPECT_NE(std::find(log.begin(), log.end(), c.said), log.end()) << c.name << "\n" << testing::PrintToString(log);
        EXPECT_TRUE(Fake().recorded.empty()) << c.name;
    }
}

}  // namespace
