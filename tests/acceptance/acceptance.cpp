// KeslAcceptance: the monitor's package checked on this machine as a deployment and a user meet
// it: installed silently, the monitor started as at log-on, its icon, menu, boxes and state file
// walked through, the taskbar made anew, an upgrade over it, an older package refused, and the
// package removed. Run as an administrator on a disposable Windows machine; make test runs it
// under Wine, where the checks that Wine cannot take are skipped with their reason.

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cwchar>
#include <algorithm>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "desktop/desktop.h"
#include "desktop/places.h"
#include "tests/acceptance/report.h"
#include "tests/acceptance/system.h"
#include "tests/acceptance/tray.h"

namespace {

const wchar_t kProduct[] = L"Kesl銀行晶片金融卡安控元件";
const wchar_t kUpgradeCode[] = L"{BFE45DFF-19E5-48DE-B2D9-8D6B172729D5}";  // the package's, for ever
const wchar_t kMonitorImage[] = L"KeslWebATMMonitor.exe";
const wchar_t kAgentImage[] = L"KeslWebATMAgent.exe";
const wchar_t kBoxCaption[] = L"Kesl銀行";
const wchar_t kDowngradeMessage[] = L"已安裝較新版本的 Kesl銀行晶片金融卡安控元件";
enum MenuItem { kAbout, kRestart, kStop, kExit };
constexpr long kRestartRequired = 3010;
constexpr long kInstallFailure = 1603;

struct Options {
    std::wstring kit;
    std::wstring out = L"report";
    bool allowInstalledComponent = false;
};

// What the kit holds and where the package puts things.
struct Kit {
    std::wstring package, upgrade, agent, terminate;
    std::wstring planted;  // make test's DLL to plant beside the monitor, under Wine
    std::wstring version, upgradeVersion;  // the monitor's four fields, from the packages' names
};

struct Machine {
    std::wstring componentFolder;  // where the monitor looks for the agent: Program Files of its kind
    std::wstring monitor;          // where the package installs it: the 32-bit Program Files
    std::wstring agent;
    std::wstring stateFile;
};

std::wstring VersionInName(const std::wstring& path) {
    const std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    const std::size_t start = name.find(L'-') + 1;
    std::wstring version = name.substr(start, name.find_first_not_of(L"0123456789.", start) - start);
    while (!version.empty() && version.back() == L'.') version.pop_back();  // the one before "msi"
    return version;
}

bool FindKit(const std::wstring& folder, Kit& kit, std::wstring& missing) {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"\\KeslWebATMMonitor-*.msi").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
        const std::wstring path = folder + L"\\" + found.cFileName;
        (std::wcsstr(found.cFileName, L"UPGRADE-CHECK") != nullptr ? kit.upgrade : kit.package) = path;
    }
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    kit.agent = folder + L"\\standins\\KeslWebATMAgent.exe";
    kit.terminate = folder + L"\\standins\\KeslTerminateService.exe";
    kit.planted = folder + L"\\planted\\bcrypt.dll";
    kit.version = VersionInName(kit.package);
    kit.upgradeVersion = VersionInName(kit.upgrade);
    for (const std::wstring* needed : {&kit.package, &kit.upgrade, &kit.agent, &kit.terminate}) {
        if (needed->empty() || !FileExists(*needed)) missing += (missing.empty() ? L"" : L", ") + *needed;
    }
    if (kit.package.empty()) missing = L"the package (KeslWebATMMonitor-VERSION.msi)" + (missing.empty() ? L"" : L"; " + missing);
    return missing.empty();
}

Machine MachineOf() {
    Machine m;
    m.componentFolder = ComponentFolder();
    m.monitor = InstalledMonitor();
    m.agent = m.componentFolder + L"\\KeslWebATMAgent.exe";
    // The state file of the user whose monitor runs: the shell's user, who may not be this
    // program's (a standard user who typed an administrator's credentials).
    wchar_t appData[MAX_PATH] = {};
    const UniqueHandle user = ShellUserToken();
    SHGetFolderPathW(nullptr, CSIDL_APPDATA, user.get(), SHGFP_TYPE_CURRENT, appData);
    m.stateFile = std::wstring(appData) + L"\\KESL\\info.ini";
    return m;
}

// Whether the state file holds what a write of stateDigit stores at some second since from.
bool StoredSince(const Machine& m, char stateDigit, std::time_t from) {
    wchar_t stored[64] = {};
    GetPrivateProfileStringW(L"Settings", L"Service", L"", stored, 64, m.stateFile.c_str());
    for (std::time_t time = from; time <= std::time(nullptr); ++time) {
        wchar_t value[16] = {};
        std::swprintf(value, 16, L"%09x", static_cast<unsigned>(time));
        value[6] = static_cast<wchar_t>(stateDigit);
        value[9] = value[3];
        if (std::wcscmp(stored, value) == 0) return true;
    }
    return false;
}

// One run of the whole check.
class Run {
public:
    Run(Report& report, const Kit& kit, const Machine& machine) : r_(report), kit_(kit), m_(machine) {}

    void Everything() {
        const bool wine = RunningUnderWine();
        // Every change to the machine, said before any is made.
        r_.Note(L"installs " + kit_.package + L" silently, and puts the stand-ins in " + m_.componentFolder);
        r_.Note(L"replaces this user's " + m_.stateFile + L", and starts and ends the monitor and the stand-in agent");
        if (!wine) r_.Note(L"ends Explorer and starts it again");
        r_.Note(L"installs " + kit_.upgrade + L" over the package silently, then removes it");
        Signed("signatures.package", kit_.package);
        if (!Install()) return SkipRest(L"the silent install failed", {"upgrade", "downgrade.refused", "removal"});
        DWORD session = 1;
        if (ProcessIdToSessionId(GetCurrentProcessId(), &session) && session == 0) {
            // Session 0 has no user's desktop, and the hand-over starts no monitor there.
            SkipRest(L"session 0, where this program runs, has no user's desktop: run it in a user's session",
                     {"desktop", "upgrade", "downgrade", "removal"});
            return (void)Msiexec(L"/x", kit_.package, L"/qn", L"remove.log");
        }
        const bool walked = Story(wine);
        // Nothing the story started outlives it, whatever became of it.
        EndProcessesNamed(kMonitorImage);
        EndProcessesNamed(kAgentImage);
        if (!walked) return SkipRest(L"the monitor's story could not be walked to its end", {"upgrade", "downgrade.refused", "removal"});
        if (!Upgrade()) return SkipRest(L"the upgrade failed", {"downgrade.refused", "removal"});
        Downgrade();
        Removal();
        EndProcessesNamed(kMonitorImage);
    }

private:
    void SkipRest(const std::wstring& why, std::initializer_list<const char*> phases) {
        for (const char* phase : phases) r_.Skip(phase, why);
    }

    // Authenticode as Windows checks it, offline: the package first, then, once it is signed, the
    // monitor. A root this machine does not trust (an in-house authority's, not imported) is no
    // fault of the package; a bad digest, a missing signature or a revoked certificate is.
    void Signed(const char* check, const std::wstring& path) {
        std::wstring signer;
        const LONG result = VerifySignature(path, signer);
        if (result == TRUST_E_NOSIGNATURE && !packageSigned_)
            return r_.Skip("signatures", L"the package is unsigned (a kit built without a signing key)");
        packageSigned_ = true;
        wchar_t hex[16] = {};
        std::swprintf(hex, 16, L"%08lX", static_cast<unsigned long>(result));
        if (result == CERT_E_UNTRUSTEDROOT || result == CERT_E_CHAINING) {
            return r_.Skip(check, path + L": signed by " + signer + L", whose root this machine does not trust (0x" + hex +
                                      L"): import the issuing root, as README-QA.txt says, and run again");
        }
        r_.Expect(check, result == 0, path + (result == 0 ? L": trusted by Windows, signed by " + signer
                                                            : L": WinVerifyTrust says 0x" + std::wstring(hex)));
    }

    bool Install() {
        CopyInto(kit_.agent, m_.componentFolder);
        CopyInto(kit_.terminate, m_.componentFolder);
        const std::vector<DWORD> before = ProcessesNamed(kMonitorImage);
        const long code = Msiexec(L"/i", kit_.package, L"/qn", L"install.log");
        // A silent install, as a deployment runs it, starts no monitor: each user's log-on does.
        const std::vector<DWORD> after = ProcessesNamed(kMonitorImage);
        const bool noneStarted =
            std::all_of(after.begin(), after.end(), [&](DWORD id) { return std::count(before.begin(), before.end(), id); });
        if (!r_.Expect("install.silent", code == 0 && noneStarted,
                       L"msiexec /i /qn exit code " + std::to_wstring(code) +
                           (noneStarted ? L", no monitor started" : L", a monitor started by a silent install")))
            return false;
        const std::wstring version = FileVersion(m_.monitor);
        r_.Expect("install.file", version == kit_.version, m_.monitor + L", file version " + version);
        const std::wstring runValue = MonitorRunValue();
        r_.Expect("install.run-value", runValue == L"\"" + m_.monitor + L"\"", L"HKLM ...\\Run\\KeslWebATMMonitor (32-bit view) = " + runValue);
        const std::vector<std::wstring> entries = InstalledEntries(kUpgradeCode, kProduct);
        r_.Expect("install.entry", entries.size() == 1, std::to_wstring(entries.size()) + L" entries in the installed programs" +
                                                            (entries.empty() ? L"" : L", version " + entries[0]));
        if (packageSigned_) Signed("signatures.monitor", m_.monitor);
        return true;
    }

    // Starts the installed monitor as the Run value does at log-on; its process number, or 0.
    DWORD StartAtLogOn(Started& monitor, bool check, const std::wstring& commandLine = MonitorRunValue()) {
        std::wstring how;
        const bool asShellUser = StartAsShellUser(commandLine, monitor, how);
        const DWORD id = monitor.info.dwProcessId;
        const bool window = id != 0 && WaitForWindow(id, L"KESLWEBATMMONITOR", nullptr, false) != nullptr;
        if (!check) return window ? id : 0;
        r_.Expect("logon.start", window, L"the Run value's command, started " + how);
        const int shell = ShellElevation();
        Unelevated("logon.unelevated", monitor.info.hProcess, how,
                   !asShellUser ? L"the monitor could not be started as the shell's user: " + how
                   : shell == 1 ? L"the shell itself runs elevated (started from an elevated program), and so does what it starts"
                   : shell != 0 ? L"no shell whose token the Run value's programs get" : L"");
        return window ? id : 0;
    }

    // Whether the monitor runs unelevated, unless skip says why that cannot be shown here. Wine gives
    // every program an elevated token with a limited twin, as UAC gives an administrator.
    void Unelevated(const char* check, HANDLE monitor, const std::wstring& how, std::wstring skip) {
        if (!RunningUnderWine() && !UacIsOn()) skip = L"UAC is off here: what the Run value starts runs elevated";
        if (!skip.empty()) return r_.Skip(check, skip);
        const int elevated = ElevationOf(monitor);
        r_.Expect(check, elevated == 0, elevated < 0 ? L"its token cannot be read"
                                                     : (elevated ? L"the monitor runs elevated, " : L"the monitor runs unelevated, ") + how);
    }

    // The icon, the menu, the About box, Stop and Restart with their boxes, the state file, the
    // agent processes, the box brought to the front, the taskbar made anew, and Exit.
    bool Story(bool wine) {
        // As the monitor is started, at its level: one it may not end goes through the elevation prompt.
        Started agent;
        std::wstring how;
        StartAsShellUser(L"\"" + m_.agent + L"\"", agent, how);
        if (!r_.Expect("agent.started", WaitUntil([] { return ProcessesNamed(kAgentImage).size() == 1; }),
                       L"the stand-in agent, " + m_.agent + L", started " + how))
            return false;
        // A stored stop, which start-up overwrites since the agent runs.
        const std::wstring stateFolder = FolderOf(m_.stateFile);
        DeleteFileW(stateFolder.c_str());
        SHCreateDirectoryExW(nullptr, stateFolder.c_str(), nullptr);
        WritePrivateProfileStringW(L"Settings", L"Service", L"0aaaaa1aaa", m_.stateFile.c_str());

        const std::time_t since = std::time(nullptr);
        Started monitor;
        const std::wstring planted = FolderOf(m_.monitor) + L"\\bcrypt.dll";
        if (wine) CopyFileW(kit_.planted.c_str(), planted.c_str(), FALSE);
        const DWORD id = StartAtLogOn(monitor, true);
        if (id == 0) return false;
        DllSearch(wine, planted);
        r_.Expect("logon.state-file", StoredSince(m_, '0', since), L"start-up records what the process list shows: running");

        IconPlace place;
        const bool shown = WaitForLook(id, Look::Colour, place);
        r_.Screenshot(NotificationArea(), L"notification-area");
        if (!r_.Expect("tray.icon", shown, L"found " + place.how)) return false;
        // The monitor puts nothing on the desktop but its icon: its window, made before it, stays hidden.
        const bool windowShown = IsWindowVisible(FindWindowOf(id, L"KESLWEBATMMONITOR", nullptr, false));
        r_.Expect("tray.no-window", !windowShown, windowShown ? L"the monitor's window is shown" : L"its window hidden");
        if (wine) r_.Skip("tray.icon-rect", L"Shell_NotifyIconGetRect is a stub in Wine (E_NOTIMPL)");
        IconLook("tray.look-running", id, Look::Colour);

        TaskbarAnew(id, wine);

        HWND menu = OpenMenu(id, how);
        if (menu != nullptr) r_.Screenshot(AreaOf(menu), L"menu");
        if (!r_.Expect("tray.menu", menu != nullptr, (menu ? L"opened by " : L"no menu opened by ") + how)) return false;
        // Wine keeps a menu's items in its owner's process, where no other program reads them.
        const std::wstring texts = MenuTexts(menu);
        if (texts.empty() && wine) r_.Skip("tray.menu-items", L"Wine keeps a menu's items where no other program reads them");
        else r_.Expect("tray.menu-items", texts == L"關於 | 重啟ATM安控元件 | 停止ATM安控元件 | 結束", texts);
        ClickMenuItem(menu, kAbout);
        About(id);

        // Stop, making way for the state folder where a plain file stands; then Restart.
        DeleteFileW(m_.stateFile.c_str());
        RemoveDirectoryW(stateFolder.c_str());
        CloseHandle(CreateFileW(stateFolder.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        if (!Command(id, kStop, "stop", L"停止ATM安控元件成功", 0, Look::Grey, '1')) return false;
        if (!Command(id, kRestart, "restart", L"重啟ATM安控元件成功", 1, Look::Colour, '0')) return false;
        OneIcon("restart.one-icon", id);

        TrayIcon last;
        FindTrayIcon(id, last);
        menu = OpenMenu(id, how);
        if (menu == nullptr) return r_.Fail("exit", L"no menu opened");
        ClickMenuItem(menu, kExit);
        const long code = monitor.WaitForExit(30000);
        r_.Expect("exit", code == 0 && WaitForIconGone(last), L"exit code " + std::to_wstring(code) +
                                                                  (WaitForIconGone(last) ? L", icon gone" : L", its icon left behind"));
        EndProcessesNamed(kAgentImage);
        return code == 0;
    }

    // A DLL planted beside the monitor, named as one it loads after start, was not loaded: from its
    // entry point on, DLLs come from System32 alone. Wine loads its own DLLs wherever the search
    // would look, so make test shows it with an override that prefers a DLL found on the search
    // path (bcrypt=n,b). On Windows, a planted DLL could meet the system DLLs' own loads before
    // that entry point, so the run plants none.
    void DllSearch(bool wine, const std::wstring& planted) {
        if (!wine) return r_.Skip("dll.search", L"shown under Wine (make test), with a DLL planted beside the monitor");
        UniqueHandle loaded(OpenEventW(SYNCHRONIZE, FALSE, L"KeslPlantedDllLoaded"));
        r_.Expect("dll.search", FileExists(kit_.planted) && !loaded,
                  loaded ? L"the monitor loaded the bcrypt.dll planted in its folder" : L"the DLL planted in its folder left alone");
        DeleteFileW(planted.c_str());
    }

    void TaskbarAnew(DWORD id, bool wine) {
        std::wstring how = L"the taskbar made anew and TaskbarCreated broadcast";
        if (wine) {
            // Wine has no Explorer to end: its taskbar is made anew as the shell does it, without
            // the icon, and every window is told. The monitor's first add then fails, as one the
            // shell took but answered too late does, and is tried again.
            TrayIcon icon;
            FindTrayIcon(id, icon);
            NOTIFYICONDATAW entry{sizeof entry, icon.window, 107};
            Shell_NotifyIconW(NIM_DELETE, &entry);
            WaitForSlot(0, Look::Empty);
            Shell_NotifyIconW(NIM_ADD, &entry);  // no image: the slot stays empty
            PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
            r_.Skip("taskbar.explorer-restart", L"Wine has no Explorer to end: the taskbar's re-creation was simulated");
        }
        IconPlace place;
        const bool back = (wine || RestartExplorer(how)) && WaitForLook(id, Look::Colour, place);
        r_.Screenshot(NotificationArea(), L"after-explorer-restart");
        r_.Expect("taskbar.anew", back, how + (back ? L"; the icon came back" : L"; the icon did not come back"));
    }

    bool About(DWORD id) {
        HWND about = WaitForWindow(id, L"#32770", L"關於 Kesl銀行晶片金融卡安控元件");
        if (about == nullptr) return r_.Fail("about", L"no About box");
        r_.Screenshot(AreaOf(about), L"about");
        std::wstring texts;
        for (HWND c = GetWindow(about, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
            if (!TextOf(c).empty() && TextOf(c)[0] != L'\xFFFF') texts += (texts.empty() ? L"" : L" | ") + TextOf(c);
        }
        const bool closed = ClickButton(about, GetDlgItem(about, IDOK));
        return r_.Expect("about", closed && texts == L"Kesl銀行晶片金融卡安控元件 " + kit_.version +
                                                        L" (001)版 | Copyright (C) 2026 Kesl銀行 版權所有 | 確定",
                         texts + (closed ? L"" : L"; it did not close on OK"));
    }

    // Chooses item from the menu: its box says expected, with OK alone; agents run then; once the
    // box is dismissed, the icon shows look and the state file the digit. Stop's box, lost behind
    // another window, is brought to the front by a press on the icon.
    bool Command(DWORD id, MenuItem item, const std::string& name, const std::wstring& expected, std::size_t agents,
                 Look look, char digit) {
        std::wstring how;
        HWND menu = OpenMenu(id, how);
        if (menu == nullptr) return r_.Fail(name + ".box", L"no menu opened");
        ClickMenuItem(menu, item);
        HWND box = WaitForWindow(id, L"#32770", kBoxCaption);
        const std::wstring text = box ? TextOf(GetDlgItem(box, 0xFFFF)) : L"no message box";
        if (box != nullptr) r_.Screenshot(AreaOf(box), Widen(name + ".box"));
        const bool okOnly = box != nullptr && OnlyButton(box) != nullptr;
        if (!r_.Expect(name + ".box", text == expected && okOnly, text + (okOnly ? L", OK alone" : L", not OK alone")))
            return false;
        r_.Expect(name + ".agent", WaitUntil([&] { return ProcessesNamed(kAgentImage).size() == agents; }),
                  L"agent processes: " + Count(kAgentImage));
        if (item == kStop) BoxToFront(id, box);
        const std::time_t since = std::time(nullptr);
        if (!ClickButton(box, OnlyButton(box))) return r_.Fail(name + ".box", L"the box did not close on OK");
        IconLook(name + ".look", id, look);
        r_.Expect(name + ".state-file", WaitUntil([&] { return StoredSince(m_, digit, since); }),
                  std::wstring(digit == '0' ? L"Running" : L"Stopped") + L" recorded once the box was dismissed");
        return true;
    }

    // The box, lost behind another window, comes to the front at a press on the icon. The other
    // window is put in front by a click, as a user would: a program not in the foreground may
    // not take it by itself.
    void BoxToFront(DWORD id, HWND box) {
        HWND other = CreateWindowW(L"STATIC", L"KeslAcceptance", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                                   nullptr, nullptr, nullptr);
        Click(AreaOf(other));
        if (!WaitUntil([&] { return GetForegroundWindow() == other; }, std::chrono::seconds(5))) {
            r_.Skip("stop.box-to-front", L"no window could be put in front of the box here");
        } else {
            TrayIcon icon;
            FindTrayIcon(id, icon);
            std::wstring how;
            PressIcon(id, PlaceOf(icon), how);
            r_.Expect("stop.box-to-front", WaitUntil([&] { return GetForegroundWindow() == box; }), L"pressed by " + how);
        }
        DestroyWindow(other);
    }

    // The icon's look, once it shows the one expected (30 s at most): read from the screen, or from
    // the identifier the shell holds where Windows keeps the icon hidden.
    void IconLook(const std::string& check, DWORD id, Look expected) {
        IconPlace place;
        WaitForLook(id, expected, place);
        const Look seen = LookOf(place);
        if (place.visible) r_.Screenshot(place.area, Widen(check));
        r_.Expect(check, seen == expected, (place.visible ? L"the icon is drawn in " : place.how + L"; its identifier, " +
                                               std::to_wstring(place.id) + L", says ") + NameOf(seen));
    }

    // Under Wine, the slot beside the icon is empty; on Windows, the shell lacks the other look's identifier.
    void OneIcon(const char* check, DWORD id) {
        TrayIcon icon;
        FindTrayIcon(id, icon);
        const bool wine = RunningUnderWine();
        const bool one = wine ? WaitForSlot(1, Look::Empty) : icon.id != 0 && !ShellHoldsIcon(icon.window, icon.id == 107 ? 129u : 107u);
        r_.Expect(check, one, wine ? L"the slot beside the monitor's icon is empty" : L"the shell holds one icon of the monitor's window");
    }

    // A deployment's upgrade: silent, while the monitor runs. The package closes it and starts it
    // again, in its session, as its user.
    bool Upgrade() {
        // Started by the short (8.3) names of its folders, where this volume keeps them: the hand-over
        // must know it for the installed file's all the same.
        Started old;
        wchar_t shortName[MAX_PATH] = {};
        const std::wstring started = GetShortPathNameW(m_.monitor.c_str(), shortName, MAX_PATH) ? shortName : m_.monitor;
        const DWORD oldId = StartAtLogOn(old, false, L"\"" + started + L"\"");
        if (oldId == 0) return r_.Fail("upgrade", L"the installed monitor did not start, as " + started);
        // A deployment tool may run msiexec in a job of its own, which ends what is left in it when it
        // closes: the monitor the hand-over starts must not be left in it.
        UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK;
        SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
        DWORD oldSession = 0, newSession = 0;
        ProcessIdToSessionId(oldId, &oldSession);
        // Asked to close, the monitor ends as 結束 ends it, its icon with it, and exits with 0; ended by
        // force, it exits with 1 and leaves its icon behind. Its handle goes the moment it has ended, in
        // case one left open keeps the ended program's file in use (3010).
        long exitCode = -1;
        const long code = Msiexec(L"/i", kit_.upgrade, L"/qn", L"upgrade.log", [&](HANDLE msiexec) {
            AssignProcessToJobObject(job.get(), msiexec);
            const HANDLE both[] = {old.info.hProcess, msiexec};
            if (WaitForMultipleObjects(2, both, FALSE, 10 * 60 * 1000) != WAIT_OBJECT_0) return;
            exitCode = old.WaitForExit(0);
            old.Close();
        });
        job.reset();
        Done("upgrade.exit-code", code, L"msiexec /i /qn, in a job that ends what is left in it when it closes");
        r_.Expect("upgrade.old-monitor-closed", exitCode == 0,
                  (exitCode == 0 ? L"asked to close, it closed as 結束 closes it (exit code 0)"
                                 : L"not closed when asked (exit code " + std::to_wstring(exitCode) + L")") +
                      L"; it was started as " + started);
        const std::wstring version = FileVersion(m_.monitor);
        r_.Expect("upgrade.file", version == kit_.upgradeVersion, m_.monitor + L", file version " + version);
        // Once the old monitor has ended and its handle is closed, its number may be given anew.
        DWORD newId = 0;
        for (DWORD p : ProcessesNamed(kMonitorImage)) {
            if ((p != oldId || !old.Running()) && _wcsicmp(ImagePathOf(p).c_str(), m_.monitor.c_str()) == 0) newId = p;
        }
        // Kept open, to tell at the downgrade that the same process still runs, and how the removal ended it.
        upgraded_.info.hProcess = newId != 0 ? OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, newId) : nullptr;
        const bool again = newId != 0 && ProcessIdToSessionId(newId, &newSession) && newSession == oldSession &&
                           WaitForWindow(newId, L"KESLWEBATMMONITOR", nullptr, false) != nullptr;
        r_.Expect("upgrade.monitor-running-again", again && ProcessesNamed(kMonitorImage).size() == 1,
                  Count(kMonitorImage) + L" monitor running; " +
                      (newId == 0 ? L"none started by the package"
                                  : L"a new process from " + m_.monitor + L" in session " + std::to_wstring(newSession) +
                                        L", the old one's " + std::to_wstring(oldSession)));
        Unelevated("upgrade.unelevated", upgraded_.info.hProcess, L"started again by the package",
                   newId == 0 ? L"no monitor was started again (upgrade.monitor-running-again)" : L"");
        if (again) {
            IconPlace place;
            WaitForLook(newId, Look::Grey, place);  // no agent runs now
            r_.Screenshot(NotificationArea(), L"after-upgrade");
            OneIcon("upgrade.one-icon", newId);
        }
        HandoverLog("upgrade.handover-log", L"upgrade.log",
                    {L"monitor " + std::to_wstring(oldId) + L" runs in session",
                     newId == 0 ? L"" : L"monitor " + std::to_wstring(newId) + L" started in session"});
        r_.Expect("upgrade.record-removed", !HandoverRecordLeft(),
                  HandoverRecordLeft() ? L"the hand-over's record of sessions is still in the registry"
                                       : L"the hand-over's record of sessions removed once read");
        return code == 0;
    }

    // The older package is refused and leaves the monitor that ran alone, the same process (with none,
    // only the refusal is judged: the upgrade's fault fails once). The log, in this Windows' ANSI code
    // page, may not hold the Chinese message: then the refusal in LaunchConditions is all it shows.
    void Downgrade() {
        const bool ran = upgraded_.Running();
        const long code = Msiexec(L"/i", kit_.package, L"/qn", L"downgrade.log");
        const bool left = upgraded_.Running();
        r_.Expect("downgrade.refused", code == kInstallFailure && (left || !ran),
                  L"msiexec /i (older) exit code " + std::to_wstring(code) +
                      (!ran ? L", no monitor ran before it (upgrade.monitor-running-again)"
                            : left ? L", the monitor that ran left running, the same process" : L", the monitor that ran has ended"));
        if (RunningUnderWine()) return r_.Skip("downgrade.message", L"Wine's installer log leaves out the messages of the package's own errors");
        const std::wstring log = r_.Folder() + L"\\downgrade.log", text = ReadLogText(log);
        BOOL lost = FALSE;
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, kDowngradeMessage, -1, nullptr, 0, nullptr, &lost);
        if (lost && text.find(kDowngradeMessage) == std::wstring::npos && text.find(L"LaunchConditions. Return value 3.") != std::wstring::npos) {
            return r_.Skip("downgrade.message", L"the log shows the refusal in LaunchConditions, but this Windows' ANSI code page, " +
                                                    std::to_wstring(GetACP()) + L", cannot hold its Chinese message");
        }
        r_.Expect("downgrade.message", text.find(kDowngradeMessage) != std::wstring::npos, L"the refusal's message in " + log);
    }

    void Removal() {
        const bool stateBefore = FileExists(m_.stateFile);
        // The monitor the upgrade started, open since: its exit code tells how the removal ended it.
        const bool ran = upgraded_.Running();
        const std::vector<DWORD> before = ProcessesNamed(kMonitorImage);
        Done("removal.exit-code", Msiexec(L"/x", kit_.upgrade, L"/qn", L"remove.log"), L"msiexec /x /qn");
        HandoverLog("removal.handover-log", L"remove.log",
                    {L"closing, for good", before.empty() ? L"" : L"monitor " + std::to_wstring(before[0]) + L" runs in session"});
        const long exitCode = upgraded_.WaitForExit(0);
        if (!ran) {
            r_.Skip("removal.monitor-ended", L"the monitor the upgrade started did not run before the removal, so it was not there to end");
        } else {
            r_.Expect("removal.monitor-ended", exitCode == 0 && ProcessesNamed(kMonitorImage).empty(),
                      Count(kMonitorImage) + L" monitor running once msiexec has returned; the one that ran " +
                          (exitCode < 0 ? L"still runs" : L"exited with " + std::to_wstring(exitCode)) +
                          (exitCode > 0 ? L", not closed when asked" : L""));
        }
        r_.Expect("removal.gone", !FileExists(m_.monitor) && MonitorRunValue().empty() && InstalledEntries(kUpgradeCode, kProduct).empty(),
                  std::wstring(L"file ") + (FileExists(m_.monitor) ? L"left" : L"gone") + L", Run value " +
                      (MonitorRunValue().empty() ? L"gone" : L"left") + L", " + std::to_wstring(InstalledEntries(kUpgradeCode, kProduct).size()) +
                      L" entries in the installed programs");
        r_.Expect("removal.kept", stateBefore && FileExists(m_.stateFile) && FileExists(m_.agent),
                  L"the user's state file and the component's agent program stay");
    }

    // The install's log holds the hand-over's account of what it found and did: a line holding
    // each of needed (an empty one stands for none). Its lines go into the report.
    void HandoverLog(const std::string& check, const std::wstring& log, const std::vector<std::wstring>& needed) {
        const std::vector<std::wstring> lines = HandoverLines(r_.Folder() + L"\\" + log);
        std::wstring said;
        for (const std::wstring& line : lines) said += (said.empty() ? L"" : L" | ") + line;
        const bool whole = std::all_of(needed.begin(), needed.end(), [&](const std::wstring& part) {
            return std::any_of(lines.begin(), lines.end(), [&](const std::wstring& l) { return l.find(part) != std::wstring::npos; });
        });
        r_.Expect(check, !lines.empty() && whole, lines.empty() ? L"no line of the hand-over in " + log : log + L": " + said);
    }

    // msiexec's action on package with a user interface, its log in the report folder; the exit code.
    long Msiexec(const wchar_t* action, const std::wstring& package, const wchar_t* ui, const std::wstring& log,
                 const std::function<void(HANDLE)>& meanwhile = nullptr) {
        return RunMsiexec(action + (L" \"" + package + L"\" ") + ui + L" /l*v \"" + r_.Folder() + L"\\" + log + L"\"", meanwhile);
    }

    // Exit code 0: no file waits for a restart (Windows Installer ends with 3010 when one does).
    void Done(const std::string& check, long code, const std::wstring& what) {
        r_.Expect(check, code == 0, what + L" exit code " + std::to_wstring(code) +
                                        (code == kRestartRequired ? L": a file waits for a restart" : L""));
    }

    static std::wstring Count(const wchar_t* image) { return std::to_wstring(ProcessesNamed(image).size()); }

    Report& r_;
    const Kit& kit_;
    const Machine& m_;
    bool packageSigned_ = false;
    Started upgraded_;  // the monitor the upgrade started again
};

bool ParseOptions(int count, wchar_t** arguments, Options& options) {
    options.kit = ThisProgramsFolder();
    for (int i = 1; i < count; ++i) {
        const std::wstring a = arguments[i];
        if (a == L"--kit" && i + 1 < count) options.kit = arguments[++i];
        else if (a == L"--out" && i + 1 < count) options.out = arguments[++i];
        else if (a == L"--allow-installed-component") options.allowInstalledComponent = true;
        else return false;
    }
    return true;
}

}  // namespace

int wmain(int count, wchar_t** arguments) {
    SetConsoleOutputCP(CP_UTF8);
    // Rectangles, the cursor and the screen's pixels in one measure at any scaling: per-monitor
    // aware (v2) where Windows has it (Windows 10 1703 on), system-aware before.
    using SetAwareness = BOOL(WINAPI*)(HANDLE);
    const auto setAwareness = reinterpret_cast<SetAwareness>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
    if (setAwareness == nullptr || !setAwareness(reinterpret_cast<HANDLE>(-4))) SetProcessDPIAware();
    Options options;
    if (!ParseOptions(count, arguments, options)) {
        std::printf("usage: KeslAcceptance.exe [--kit FOLDER] [--out FOLDER] [--allow-installed-component]\n");
        return 2;
    }
    if (!RunningUnderWine() && ElevationOf(GetCurrentProcess()) != 1) {
        std::printf("KeslAcceptance: run it as an administrator (it installs and removes a package)\n");
        return 2;
    }
    const Machine machine = MachineOf();
    Kit kit;
    std::wstring missing;
    const bool kitWhole = FindKit(options.kit, kit, missing);
    if (kitWhole && FileExists(machine.agent) && !SameBytes(machine.agent, kit.agent) && !options.allowInstalledComponent) {
        std::printf("KeslAcceptance: the component is installed here (%s is not the stand-in); this run installs "
                    "stand-ins and removes the package: run it on a disposable machine, or give --allow-installed-component\n",
                    Utf8(machine.agent).c_str());
        return 2;
    }
    // SHCreateDirectoryExW takes absolute paths only.
    wchar_t out[MAX_PATH] = {};
    GetFullPathNameW(options.out.c_str(), MAX_PATH, out, nullptr);
    options.out = out;
    SHCreateDirectoryExW(nullptr, out, nullptr);
    Report report(options.out);
    if (report.Expect("kit", kitWhole, kitWhole ? L"version " + kit.version + L", upgrade check " + kit.upgradeVersion
                                                : L"missing: " + missing)) {
        Run(report, kit, machine).Everything();
    }
    if (!report.Written()) {
        std::printf("KeslAcceptance: the report could not be written in %s\n%s\n", Utf8(options.out).c_str(), report.Summary().c_str());
        return 1;
    }
    std::printf("Report: %s\\report.html\n%s\n", Utf8(options.out).c_str(), report.Summary().c_str());
    return report.Failed() ? 1 : 0;
}
