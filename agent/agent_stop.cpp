#include "agent/agent_control.h"
#include "agent/agent_names.h"
#include "agent/installed_program.h"
#include "agent/process_match.h"
#include "platform/platform.h"

namespace {

// Gives an ended process time to leave before the next one is dealt with.
constexpr std::uint32_t kPauseAfterEachProcess = 1500;

// Launches the terminate program through the elevation prompt, for a process this user may not
// end. Its own outcome is not waited for.
bool HandToTerminateProgram() {
    char path[kPathBufferSize] = {};
    if (LocateInstalledProgram(kTerminateProgramName, path) != RESULT_OK) return false;
    return LaunchThroughShell(DesktopWindow(), "runas", path) > kShellRefusalLimit;
}

enum class Outcome { Dealt, PassedOver, Failed };
enum class Identity { Agent, Other, Unknown };

// What the open process runs now. The snapshot is seconds old by the time a later process is
// opened (the pauses, an elevation prompt), and a number freed since may name another program.
Identity IdentityOf(OsHandle process, const WantedImageName& wanted) {
    wchar_t imageName[kImageNameCapacity] = {};
    if (!ReadProcessImageName(process, imageName)) return ProcessHasEnded(process) ? Identity::Other : Identity::Unknown;
    return MatchImageName(imageName, wanted.characters, wanted.length) ? Identity::Agent : Identity::Other;
}

Outcome EndProcess(std::uint32_t processId, const WantedImageName& wanted) {
    UniqueOsHandle process;
    switch (OpenProcessForTerminate(processId, process)) {
        case OpenProcessOutcome::Gone:
            return Outcome::PassedOver;  // it ended between the snapshot and now
        case OpenProcessOutcome::AccessDenied:
            // A process that may not even be opened would go on running; passing over it would
            // report a stop that did not happen.
            if (!HandToTerminateProgram()) return Outcome::Failed;
            break;
        case OpenProcessOutcome::Opened:
            switch (IdentityOf(process.get(), wanted)) {
                case Identity::Other:
                    return Outcome::PassedOver;  // the agent has gone, and its number with it
                case Identity::Unknown:
                    // Not ended blind: the terminate program finds the agents by name itself.
                    if (!HandToTerminateProgram()) return Outcome::Failed;
                    break;
                case Identity::Agent:
                    if (TerminateOsProcess(process.get(), 0)) break;
                    // Ending a process that has already exited is refused too; it is ended all the same.
                    if (ProcessHasEnded(process.get())) return Outcome::PassedOver;
                    if (!HandToTerminateProgram()) return Outcome::Failed;
                    break;
            }
            break;
    }
    process.reset();
    PauseMilliseconds(kPauseAfterEachProcess);
    return Outcome::Dealt;
}

}  // namespace

int StopAgent(const wchar_t* wantedName) {
    const WantedImageName wanted = PrepareWantedName(wantedName);
    UniqueOsHandle snapshot = OpenProcessSnapshot();
    if (!snapshot) return 0;

    ProcessEntry entry;
    if (!FirstProcess(snapshot.get(), entry)) return 0;  // an unreadable list is no proof of a stop
    do {
        if (!MatchImageName(entry.imageName, wanted.characters, wanted.length)) continue;
        // The first failure ends the walk: later processes are left as they are.
        if (EndProcess(entry.processId, wanted) == Outcome::Failed) return 0;
    } while (NextProcess(snapshot.get(), entry));
    return 1;
}
