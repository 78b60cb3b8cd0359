#pragma once
// The component's own programs, found in their installation folder under Program Files.

#include "platform/types.h"

// Puts the full path of the installed program name into path and checks that a non-empty file
// is there. Returns RESULT_OK, or the first reason the program cannot be launched:
// RESULT_FOLDER_LOOKUP_FAILED (no Program Files folder, or a path too long for the buffer),
// RESULT_NO_FILE_STATUS (as a rule: not installed) or RESULT_FILE_EMPTY.
ResultCode LocateInstalledProgram(const char* name, char (&path)[kPathBufferSize]);
