// The install's hand-over: which monitors are closed and how, and which are started again, in
// which session and as whom.

#include "handover/monitor_handover.h"
#include "tests/fake/fake_platform.h"

namespace {

const std::wstring kInstalled = L"C:\\Program Files (x86)\\KESL\\WebATM\\KeslWebATMMonitor.exe";
const std::wstring kTeller = L"S-1-5-21-7-1001";
const std::wstring kTaskkill = L": C:\\Windows\\system32\\taskkill.exe taskkill.exe /PID 20";
const std::wstring kAsked = L"start in session 1 as " + kTeller + kTaskkill;
const std::wstring kStarted = L"start in session 1 as " + kTeller + L": " + kInstalled + L" \"" + kInstalled + L"\"";
const Lines kClosed = {L"record session 1 " + kTeller, kAsked, L"wait for 1 up to 5000 ms"};
const Lines kEndedByForce = {L"terminate 20 exit 1", L"wait for 1 up to 5000 ms"};

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
        bool startAgain;           // an install or repair; not a removal
        void (*beforeClose)();
        void (*beforeStart)();
        Lines journal;
    };
    const Case cases[] = {
        {"closed when asked, started again", true, [] {}, [] {}, kClosed + Lines{kStarted}},
        {"removal: closed, never started", false, [] {}, [] {}, {kAsked, L"wait for 1 up to 5000 ms"}},
        {"a monitor of another path: untouched", true,
         [] { Monitor().path = L"C:\\Users\\teller\\Desktop\\KeslWebATMMonitor.exe"; }, [] {}, {}},
        {"will not close: ended after the wait, then started again", true, [] { Monitor().closesWhenAsked = false; },
         [] {}, Lines{L"record session 1 " + kTeller, kAsked, L"wait for 1 up to 5000 ms"} + kEndedByForce + Lines{kStarted}},
        {"the session has ended since", true, [] {}, [] { Fake().sessionUsers.erase(1); }, kClosed},
        {"another user in the session since", true, [] {}, [] { Fake().sessionUsers[1] = L"S-1-5-21-7-1002"; }, kClosed},
        {"no user token for the session: asked as the monitor's own user, not started", true,
         [] { Fake().sessionUsers[1] = L""; }, [] {}, kClosed},
        {"another user's in the session: asked as that user, not started as the session's", true,
         [] { Monitor().userSid = L"S-1-5-21-7-1002"; }, [] {},
         {L"record session 1 S-1-5-21-7-1002", L"start in session 1 as S-1-5-21-7-1002" + kTaskkill,
          L"wait for 1 up to 5000 ms"}},
        {"its user's monitor already back (log-on): no second one", true, [] {},
         [] {
             Fake().processes.push_back({21, L"KeslWebATMMonitor.exe"});
             Monitor().path = kInstalled;
         },
         kClosed},
        {"LocalSystem's in session 0: ended, never started", true,
         [] {
             Monitor().session = kServicesSession;
             Monitor().userSid = kLocalSystemSid;
             Fake().sessionUsers[kServicesSession] = kLocalSystemSid;
         },
         [] {}, Lines{L"record session 0 S-1-5-18"} + kEndedByForce},
    };
    for (const Case& c : cases) {
        SetUp();
        c.beforeClose();
        CloseMonitors(kInstalled, c.startAgain);
        c.beforeStart();
        StartMonitorsAgain(kInstalled);
        EXPECT_EQ(Fake().journal, c.journal) << c.name;
        EXPECT_TRUE(Fake().recorded.empty()) << c.name;
    }
}

}  // namespace
