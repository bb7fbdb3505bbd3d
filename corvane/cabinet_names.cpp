#include "cabinet_names.h"

#include <cstring>

namespace {

// Windows takes these names for devices, with any extension and in any folder: a file
// "nul.txt" would be written to the null device, "com1" to a serial port.
bool IsDeviceName(const std::string& part) {
    std::string base = part.substr(0, part.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (base == device) return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

}  // namespace

bool IsDeviceCabinetName(const std::string& stored) {
    std::string relative = stored;
    for (char& c : relative)
        if (c == '/') c = '\\';
    for (std::size_t start = 0;;) {
        std::size_t end = relative.find('\\', start);
        if (IsDeviceName(relative.substr(start, end == std::string::npos ? end : end - start))) return true;
        if (end == std::string::npos) return false;
        start = end + 1;
    }
}

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
        if (IsDeviceName(part)) return false;
        if (end == std::string::npos) return true;
        start = end + 1;
    }
}
