#pragma once
// Whether the security component is meant to run, and the per-user file that remembers it.

#include <cstdint>

#include "platform/types.h"

// Running is 0; any non-zero value read back counts as Stopped.
using ServiceState = std::int32_t;
inline constexpr ServiceState kServiceRunning = 0;
inline constexpr ServiceState kServiceStopped = 1;

inline constexpr char kStateFolderSuffix[] = "\\KESL";
inline constexpr char kStateFileSuffix[] = "\\info.ini";
inline constexpr char kStateSection[] = "Settings";
inline constexpr char kStateKey[] = "Service";
inline constexpr char kStateDefaultValue[] = "01234507890";

// The stored value: ten characters and a terminator.
inline constexpr std::size_t kServiceValueLength = 10;
using ServiceValue = char[kServiceValueLength + 1];

// Reads the file; on RESULT_OK only, stores the decoded state in *state.
ResultCode ReadServiceState(ServiceState* state);
// Records state (0 or 1) with a value derived from the current time. Returns
// RESULT_FOLDER_LOOKUP_FAILED when the folder is unknown, otherwise RESULT_OK.
ResultCode WriteServiceState(ServiceState state);

// The pure codec under the two operations.
void EncodeServiceValue(ServiceState state, std::int64_t time, ServiceValue& value);
ServiceState DecodeServiceValue(const char* value);
