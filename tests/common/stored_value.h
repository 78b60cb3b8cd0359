#pragma once
// What the state file's stored value must look like after a command written at some time.

#include <cstdint>
#include <cstdio>
#include <string>

// Ten characters: the time's low 32 bits as nine lowercase hex digits, the state digit at
// position 6, and position 3 repeated at position 9.
inline std::string ExpectedStoredValue(char stateDigit, std::int64_t time) {
    char digits[16] = {};
    std::snprintf(digits, sizeof digits, "%09x", static_cast<unsigned>(static_cast<std::uint32_t>(time)));
    std::string value(digits, 9);
    value[6] = stateDigit;
    return value + value[3];
}

// Whether value is what a write of stateDigit at some second in [from, to] stores.
inline bool IsStoredValueWrittenBetween(const std::string& value, char stateDigit, std::int64_t from,
                                        std::int64_t to) {
    for (std::int64_t time = from; time <= to; ++time) {
        if (value == ExpectedStoredValue(stateDigit, time)) return true;
    }
    return false;
}
