// The per-user state file: %APPDATA%\KESL\info.ini, section Settings, key Service.

#include <cstring>

#include "platform/bounded_string.h"
#include "platform/platform.h"
#include "state/service_state.h"

namespace {

constexpr std::size_t kReadBufferSize = 32;

// Fills folder with the application-data folder followed by \KESL, and file with the state
// file's path in it. A path that would not fit is refused rather than cut: a cut path names
// some other file, which a write could replace or delete.
ResultCode BuildStatePaths(char (&folder)[kPathBufferSize], char (&file)[kPathBufferSize]) {
    if (GetSpecialFolderPath(SpecialFolder::RoamingAppData, folder) != kSOk) return RESULT_FOLDER_LOOKUP_FAILED;
    if (!AppendBounded(folder, kStateFolderSuffix)) return RESULT_FOLDER_LOOKUP_FAILED;
    std::memcpy(file, folder, sizeof file);
    if (!AppendBounded(file, kStateFileSuffix)) return RESULT_FOLDER_LOOKUP_FAILED;
    return RESULT_OK;
}

}  // namespace

ResultCode ReadServiceState(ServiceState* state) {
    char folder[kPathBufferSize] = {};
    char file[kPathBufferSize] = {};
    if (ResultCode result = BuildStatePaths(folder, file); result != RESULT_OK) return result;

    FileStatus status;
    if (!ReadFileStatus(file, status)) return RESULT_NO_FILE_STATUS;
    if (status.size <= 0) return RESULT_FILE_EMPTY;

    char value[kReadBufferSize] = {};
    ReadProfileValue(file, kStateSection, kStateKey, kStateDefaultValue, value, sizeof value);
    *state = DecodeServiceValue(value);
    return RESULT_OK;
}

ResultCode WriteServiceState(ServiceState state) {
    // The value is settled before the file system is touched.
    ServiceValue value;
    EncodeServiceValue(state, CurrentTime(), value);

    char folder[kPathBufferSize] = {};
    char file[kPathBufferSize] = {};
    if (ResultCode result = BuildStatePaths(folder, file); result != RESULT_OK) return result;

    FileStatus status;
    if (!ReadFileStatus(folder, status)) {
        CreateFolder(folder);
    } else if (!status.isDirectory) {
        // A plain file stands where the folder belongs: make way for the folder.
        RemoveFile(folder);
        CreateFolder(folder);
    }

    WriteProfileValue(file, kStateSection, kStateKey, value);
    return RESULT_OK;
}
