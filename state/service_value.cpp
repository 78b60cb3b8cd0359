// The stored value hides the state digit among digits of the current time: the low 32 bits of
// the time as nine lowercase hex digits, position 6 replaced by the digit, position 3 repeated
// at position 9.

#include "state/service_state.h"

namespace {
constexpr std::size_t kStateDigitPosition = 6;
constexpr std::size_t kEchoedPosition = 3;
constexpr std::size_t kEchoPosition = 9;
}  // namespace

void EncodeServiceValue(ServiceState state, std::int64_t time, ServiceValue& value) {
    // What "%.9x" prints: nine digits, of which a 32-bit value needs eight, so position 0 is
    // always '0'. Written by hand, because the formatter would triple the program's code.
    std::uint32_t rest = static_cast<std::uint32_t>(time);
    for (std::size_t i = kServiceValueLength - 1; i-- > 0;) {
        value[i] = "0123456789abcdef"[rest & 0xF];
        rest >>= 4;
    }
    value[kStateDigitPosition] = static_cast<char>('0' + state);
    value[kEchoPosition] = value[kEchoedPosition];
    value[kServiceValueLength] = '\0';
}

ServiceState DecodeServiceValue(const char* value) {
    // A value too short to reach the state digit counts as Stopped: that is what the digit's
    // place in a zero-filled buffer (a NUL, not "0") has always decoded to.
    for (std::size_t i = 0; i <= kStateDigitPosition; ++i) {
        if (value[i] == '\0') return kServiceStopped;
    }
    return value[kStateDigitPosition] - '0';
}
