#include "tests/sweep/generated_state_files.h"

#include <random>

namespace {

// The engine's sequence is fixed by the standard (its distributions' are not), so every
// compiler makes the same files.
class Random {
public:
    std::size_t Below(std::size_t bound) { return engine_() % bound; }
    char Byte() { return static_cast<char>(engine_() & 0xFF); }

private:
    std::mt19937 engine_{20240611};
};

constexpr std::size_t kDigitPosition = 6;
constexpr std::size_t kReadLimit = 31;  // the program reads into 32 characters

// What start-up makes of the value the profile reader returns.
StoredState StateOf(const std::string& value) {
    const std::string kept = value.substr(0, kReadLimit);
    if (kept.size() <= kDigitPosition) return StoredState::Stopped;  // too short to hold the digit
    return kept[kDigitPosition] == '0' ? StoredState::Running : StoredState::Stopped;
}

// A value of length characters that the reader returns as it is: printable, no blanks or quotes
// (which it trims), bytes above 127 only from the digit on (before it, a multi-byte code page
// could move the digit). digit, when given, is put at the digit's place.
std::string RandomValue(Random& random, std::size_t length, bool highBytes, char digit = 0) {
    static const std::string kPrintable = [] {
        std::string chars;
        for (char c = '!'; c <= '~'; ++c) {
            if (c != '"' && c != '\'') chars += c;
        }
        return chars;
    }();
    std::string value;
    for (std::size_t i = 0; i < length; ++i) {
        const bool high = highBytes && i >= kDigitPosition && random.Below(3) == 0;
        value += high ? static_cast<char>(0x80 | random.Below(0x80)) : kPrintable[random.Below(kPrintable.size())];
    }
    if (digit != 0 && length > kDigitPosition) value[kDigitPosition] = digit;
    return value;
}

// Any byte but a line end or '[' (which could open a section), so a noise line never changes
// which section or key the reader finds.
std::string NoiseLine(Random& random, std::size_t length) {
    std::string line;
    while (line.size() < length) {
        const char c = random.Byte();
        if (c != '\r' && c != '\n' && c != '[') line += c;
    }
    return line;
}

std::string Replace(std::string text, const std::string& token, const std::string& with) {
    for (std::size_t at = text.find(token); at != std::string::npos; at = text.find(token, at + with.size())) {
        text.replace(at, token.size(), with);
    }
    return text;
}

std::string Utf16(const std::string& ascii, bool bigEndian) {
    std::string wide;
    for (char c : ascii) wide += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    return wide;
}

// A file layout around the planted value {V}, and {W}, one of the other state.
struct Layout {
    const char* name;
    const char* pattern;
    const char* found;  // what the reader returns; null: the key is not found, so the default
};

const Layout kLayouts[] = {
    {"plain", "[Settings]\r\nService={V}\r\n", "{V}"},
    {"line feeds only", "[Settings]\nService={V}\n", "{V}"},
    {"no final line end", "[Settings]\r\nService={V}", "{V}"},
    {"upper-case names", "[SETTINGS]\r\nSERVICE={V}\r\n", "{V}"},
    {"blanks around", "  [Settings]  \r\n  Service  =  {V}  \r\n", "{V}"},
    {"double-quoted", "[Settings]\r\nService=\"{V}\"\r\n", "{V}"},
    {"trailing text", "[Settings]\r\nService={V} ; note\r\n", "{V} ; note"},
    {"key repeated", "[Settings]\r\nService={V}\r\nService={W}\r\n", "{V}"},
    {"section repeated", "[Settings]\r\nService={V}\r\n[Settings]\r\nService={W}\r\n", "{V}"},
    {"other section first", "[Other]\r\nService={W}\r\n[Settings]\r\nService={V}\r\n", "{V}"},
    {"key before any section", "Service={W}\r\n[Settings]\r\nService={V}\r\n", "{V}"},
    {"comments and blank lines", "; state\r\n\r\n[Settings]\r\n; Service={W}\r\n\r\nService={V}\r\n\r\n", "{V}"},
    {"other keys around", "[Settings]\r\nServices={W}\r\nService={V}\r\nServic={W}\r\n", "{V}"},
    {"empty value", "[Settings]\r\nService=\r\n", ""},
    {"blank value", "[Settings]\r\nService=   \r\n", ""},
    {"no section", "Service={V}\r\n", nullptr},
    {"other section only", "[Other]\r\nService={V}\r\n", nullptr},
    {"near-miss section names",
     "[Setting]\r\nService={V}\r\n[Settings2]\r\nService={V}\r\n[ Settings.old ]\r\nService={V}\r\n", nullptr},
    {"near-miss key names", "[Settings]\r\nServices={V}\r\nServic={V}\r\nxService={V}\r\n", nullptr},
    {"key only in a repeated section", "[Settings]\r\nOther=1\r\n[Settings]\r\nService={V}\r\n", nullptr},
    {"section without keys", "[Settings]\r\n", nullptr},
    {"key without '='", "[Settings]\r\nService\r\n", nullptr},
};

StoredState Expected(const char* found, const std::string& v) {
    return found == nullptr ? StoredState::Running : StateOf(Replace(found, "{V}", v));
}

class Generator {
public:
    std::vector<GeneratedStateFile> Run() {
        Add("empty file", "", StoredState::Empty);
        Add("NUL bytes", std::string(100, '\0'), StoredState::Running);
        ValueLengths();
        Layouts();
        Encodings();
        Noise();
        Blobs();
        Large();
        return files_;
    }

private:
    void Add(std::string name, std::string bytes, StoredState stored) {
        files_.push_back({std::move(name), std::move(bytes), stored});
    }

    // A ten-character value of the given state, as the program would store it, or random.
    std::string ValueOf(StoredState state) {
        return RandomValue(random_, 10, false, state == StoredState::Running ? '0' : '1');
    }

    void ValueLengths() {
        for (std::size_t length = 0; length <= 40; ++length) {
            for (char digit : {'0', static_cast<char>('1' + random_.Below(9)), static_cast<char>(0)}) {
                const std::string v = RandomValue(random_, length, true, digit);
                Add("value of length " + std::to_string(length), "[Settings]\r\nService=" + v + "\r\n", StateOf(v));
            }
        }
    }

    void Layouts() {
        for (const Layout& layout : kLayouts) {
            for (StoredState planted : {StoredState::Running, StoredState::Stopped}) {
                const std::string v = ValueOf(planted);
                const StoredState other = planted == StoredState::Running ? StoredState::Stopped : StoredState::Running;
                const std::string w = ValueOf(other);
                const std::string bytes = Replace(Replace(layout.pattern, "{V}", v), "{W}", w);
                Add(std::string("layout: ") + layout.name, bytes, Expected(layout.found, v));
            }
        }
    }

    void Encodings() {
        for (StoredState planted : {StoredState::Running, StoredState::Stopped}) {
            const std::string text = "[Settings]\r\nService=" + ValueOf(planted) + "\r\n";
            Add("UTF-8 byte-order mark", "\xEF\xBB\xBF" + text, planted);
            Add("UTF-16LE with its mark", "\xFF\xFE" + Utf16(text, false), planted);
            Add("UTF-16BE with its mark", "\xFE\xFF" + Utf16(text, true), planted);
            // Without its mark the text is read as narrow characters with NULs between: no section.
            Add("UTF-16LE without a mark", Utf16(text, false), StoredState::Running);
            // A UTF-16 mark before narrow text turns it into characters of no section.
            Add("UTF-16LE mark before narrow text", "\xFF\xFE" + text, StoredState::Running);
        }
    }

    // Noise lines before the section, between its header and the key, and after the key.
    void Noise() {
        for (int i = 0; i < 60; ++i) {
            const std::string v = RandomValue(random_, 7 + random_.Below(34), true, random_.Below(2) ? '0' : 0);
            std::string bytes;
            for (int part = 0; part < 3; ++part) {
                const std::size_t lines = random_.Below(4);
                for (std::size_t l = 0; l < lines; ++l) {
                    // Now and then a line of 64 KiB.
                    const std::size_t length = random_.Below(10) == 0 ? 65536 : random_.Below(200);
                    bytes += NoiseLine(random_, length) + (random_.Below(2) ? "\r\n" : "\n");
                }
                if (part == 0) bytes += "[Settings]\r\n";
                if (part == 1) bytes += "Service=" + v + "\r\n";
            }
            Add("noise lines around the key", bytes, StateOf(v));
        }
    }

    // Random bytes hold no section: the key's default is read.
    void Blobs() {
        for (int i = 0; i < 40; ++i) {
            const std::size_t length = 1 + (i % 8 == 7 ? random_.Below(200000) : random_.Below(4096));
            std::string bytes;
            for (std::size_t b = 0; b < length; ++b) bytes += random_.Byte();
            Add("random bytes", bytes, StoredState::Running);
        }
    }

    // Files of several megabytes, the key at the end or at the start.
    void Large() {
        std::string others = "[Other]\r\n";
        for (int i = 0; others.size() < 3'000'000; ++i) {
            others += "Key" + std::to_string(i) + "=" + NoiseLine(random_, 60) + "\r\n";
        }
        Add("several megabytes, key last", others + "[Settings]\r\nService=" + ValueOf(StoredState::Stopped) + "\r\n",
            StoredState::Stopped);
        Add("several megabytes, key first", "[Settings]\r\nService=" + ValueOf(StoredState::Running) + "\r\n" + others,
            StoredState::Running);
        Add("one line of several megabytes", NoiseLine(random_, 4'000'000), StoredState::Running);
    }

    Random random_;
    std::vector<GeneratedStateFile> files_;
};

}  // namespace

const char* ToString(StoredState state) {
    switch (state) {
        case StoredState::Empty: return "empty";
        case StoredState::Running: return "running";
        case StoredState::Stopped: return "stopped";
    }
    return "?";
}

std::vector<GeneratedStateFile> GenerateStateFiles() { return Generator().Run(); }
