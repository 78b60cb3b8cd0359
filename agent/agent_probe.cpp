#include "agent/agent_control.h"
#include "agent/process_match.h"
#include "platform/platform.h"

namespace {
constexpr std::uint32_t kProbePauseMilliseconds = 1000;
}

int IsAgentRunning(const wchar_t* wantedName) {
    const WantedImageName wanted = PrepareWantedName(wantedName);
    UniqueOsHandle snapshot = OpenProcessSnapshot();
    if (!snapshot) return 0;

    ProcessEntry entry;
    for (bool more = FirstProcess(snapshot.get(), entry); more; more = NextProcess(snapshot.get(), entry)) {
        if (!MatchImageName(entry.imageName, wanted.characters, wanted.length)) continue;
        UniqueOsHandle process;
        if (OpenProcessForTerminate(entry.processId, process) == OpenProcessOutcome::Opened) {
            process.reset();
            PauseMilliseconds(kProbePauseMilliseconds);
        }
        return 1;  // found, whether or not it could be opened
    }
    return 0;
}
