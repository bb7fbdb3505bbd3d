#include "cabinet_names.h"

#include <cstring>
#include <vector>

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

// The name with `/` turned into `\`, and its components (empty ones included).
std::string WithBackslashes(std::string name) {
    for (char& c : name)
        if (c == '/') c = '\\';
    return name;
}

std::vector<std::string> Components(const std::string& name) {
    std::vector<std::string> parts;
    for (std::size_t start = 0;;) {
        std::size_t end = name.find('\\', start);
        parts.push_back(name.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

}  // namespace

bool IsDeviceCabinetName(const std::string& stored) {
    for (const std::string& part : Components(WithBackslashes(stored)))
        if (IsDeviceName(part)) return true;
    return false;
}

bool SafeCabinetName(const std::string& stored, std::string& relative) {
    relative = WithBackslashes(stored);
    if (relative.empty()) return false;
    for (const std::string& part : Components(relative)) {
        // Win32 drops trailing dots and blanks, so "..." or ".. " would climb too.
        if (part.empty() || part.back() == '.' || part.back() == ' ') return false;
        for (unsigned char c : part)
            if (c < 0x20 || std::strchr(":*?\"<>|", c)) return false;
        if (IsDeviceName(part)) return false;
    }
    return true;
}
