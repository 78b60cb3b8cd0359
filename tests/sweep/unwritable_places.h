#pragma once
// Places of the file system that nobody can change, and a listing to tell whether anything
// under a folder changed.

#include <string>

// Makes the file or folder at path unchangeable, or changeable again, and waits until that has
// taken effect; returns whether it did. The tests run under Wine as root, for whom neither the
// read-only attribute nor permission bits stop a write, so this sets the Linux immutable
// attribute (and, for a user other than root, clears the write permission).
bool SetUnwritable(const std::string& path, bool unwritable);

// Whether a write there would succeed: opening the file for writing, or creating an entry in
// the folder (removed again at once).
bool CanWrite(const std::string& path);

// Every file and folder under root with its attributes, size and last-write time, a line each.
std::string FolderTreeListing(const std::string& root);
