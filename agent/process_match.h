#pragma once
// The rule by which a process's image name is recognised as the agent's.

#include <cstddef>

inline constexpr std::size_t kWantedNameCapacity = 256;

// The wanted name as the walks compare it: at most 256 characters, with no terminator when
// all 256 are used.
struct WantedImageName {
    wchar_t characters[kWantedNameCapacity] = {};
    std::size_t length = 0;
};

WantedImageName PrepareWantedName(const wchar_t* name);

// True when imageName is exactly length characters long and equals the first length characters
// of wanted, folding only the letters A to Z.
bool MatchImageName(const wchar_t* imageName, const wchar_t* wanted, std::size_t length);
