// Stand-in for the component's terminate program: ends every running agent process.

#include <windows.h>

#include "agent/agent_names.h"
#include "agent/process_match.h"
#include "platform/platform.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const WantedImageName wanted = PrepareWantedName(kAgentImageNameW);
    UniqueOsHandle snapshot = OpenProcessSnapshot();
    if (!snapshot) return 1;

    int failures = 0;
    ProcessEntry entry;
    for (bool more = FirstProcess(snapshot.get(), entry); more; more = NextProcess(snapshot.get(), entry)) {
        if (!MatchImageName(entry.imageName, wanted.characters, wanted.length)) continue;
        UniqueOsHandle process;
        const OpenProcessOutcome outcome = OpenProcessForTerminate(entry.processId, process);
        if (outcome == OpenProcessOutcome::Gone) continue;
        if (outcome != OpenProcessOutcome::Opened || !TerminateOsProcess(process.get(), 0)) ++failures;
    }
    return failures == 0 ? 0 : 1;
}
