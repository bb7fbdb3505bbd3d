// Shared by the fuzz targets: a failed property stops the run with a message, as a
// sanitizer finding would.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(condition, what)                                                  \
    do {                                                                             \
        if (!(condition)) {                                                          \
            std::fprintf(stderr, "fuzz property failed: %s (%s)\n", what, #condition); \
            std::abort();                                                            \
        }                                                                            \
    } while (0)

inline std::string TextOf(const unsigned char* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    return text.substr(0, text.find('\0'));
}
