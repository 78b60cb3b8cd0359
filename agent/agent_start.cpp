#include "agent/agent_control.h"
#include "agent/installed_program.h"
#include "platform/platform.h"

int StartAgent(const char* imageName) {
    char path[kPathBufferSize] = {};
    const ResultCode located = LocateInstalledProgram(imageName, path);
    if (located != RESULT_OK) return located;
    // The launch is handed over and not watched: the agent is not looked for afterwards.
    return LaunchThroughShell(nullptr, "open", path) > kShellRefusalLimit ? RESULT_OK : RESULT_LAUNCH_REFUSED;
}
