#include "cabinet_names.h"

#include <cstring>

bool SafeCabinetName(const std::string& stored, std::string& relative) {
    relative = stored;
    for (char& c : relative)
        if (c == '/') c = '\\';
    if (relative.empty()) return false;
    std::size_t start = 0;
    while (true) {
        std::size_t end = relative.find('\\', start);
        std::string part = relative.substr(start, end == std::string::npos ? end : end - start);
        // Win32 drops trailing dots and blanks, so "..." or ".. " would climb too.
        if (part.empty() || part.back() == '.' || part.back() == ' ') return false;
        for (unsigned char c : part)
            if (c < 0x20 || std::strchr(":*?\"<>|", c)) return false;
        if (end == std::string::npos) return true;
        start = end + 1;
    }
}
