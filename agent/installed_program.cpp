#include "agent/installed_program.h"

#include "agent/agent_names.h"
#include "platform/bounded_string.h"
#include "platform/platform.h"

ResultCode LocateInstalledProgram(const char* name, char (&path)[kPathBufferSize]) {
    if (GetSpecialFolderPath(SpecialFolder::ProgramFiles, path) != kSOk) return RESULT_FOLDER_LOOKUP_FAILED;
    // A cut path would name some other file; refuse it like an unknown folder.
    if (!AppendBounded(path, kInstallFolderSuffix) || !AppendBounded(path, name)) return RESULT_FOLDER_LOOKUP_FAILED;

    FileStatus status;
    if (!ReadFileStatus(path, status)) return RESULT_NO_FILE_STATUS;
    // A folder in the program's place reports no size either; the shell would open it in a window.
    if (status.size <= 0 || status.isDirectory) return RESULT_FILE_EMPTY;
    return RESULT_OK;
}
