#pragma once
// State-file contents for the start-up sweep, generated from a fixed seed, each with the state
// that start-up must read from it.

#include <string>
#include <vector>

enum class StoredState {
    Empty,    // a file of size 0: nothing is read and start-up counts it as Running
    Running,  // the value found (or the default) has '0' at position 6
    Stopped,  // any other character there, or a value too short to have one
};
const char* ToString(StoredState state);

struct GeneratedStateFile {
    std::string name;
    std::string bytes;
    StoredState stored;
};

// The same few hundred contents on every run.
std::vector<GeneratedStateFile> GenerateStateFiles();
