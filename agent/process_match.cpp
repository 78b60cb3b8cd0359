#include "agent/process_match.h"

namespace {

wchar_t FoldAsciiLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

}  // namespace

WantedImageName PrepareWantedName(const wchar_t* name) {
    WantedImageName wanted;
    while (wanted.length < kWantedNameCapacity && name[wanted.length] != L'\0') {
        wanted.characters[wanted.length] = name[wanted.length];
        ++wanted.length;
    }
    return wanted;
}

bool MatchImageName(const wchar_t* imageName, const wchar_t* wanted, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        if (imageName[i] == L'\0' || FoldAsciiLetter(imageName[i]) != FoldAsciiLetter(wanted[i])) return false;
    }
    return imageName[length] == L'\0';
}
