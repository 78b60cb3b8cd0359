#pragma once
// Fixed-buffer string helpers: they never write past the buffer and always terminate it.

#include <cstddef>
#include <cstring>

// Appends source to the string in buffer. Returns false, leaving the buffer cut at its
// capacity, when the whole of source did not fit.
template <std::size_t N>
bool AppendBounded(char (&buffer)[N], const char* source) {
    std::size_t used = strnlen(buffer, N - 1);
    std::size_t length = std::strlen(source);
    std::size_t room = N - 1 - used;
    std::size_t copied = length < room ? length : room;
    std::memcpy(buffer + used, source, copied);
    buffer[used + copied] = '\0';
    return copied == length;
}
