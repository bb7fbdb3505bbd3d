#include "cabinet_names.h"

#include <cctype>
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

// The name with `/` turned into `\`.
std::string WithBackslashes(std::string name) {
    for (char& c : name)
        if (c == '/') c = '\\';
    return name;
}

// The components of a name, empty ones included.
std::vector<std::string> Components(const std::string& name) {
    std::vector<std::string> parts;
    for (std::size_t start = 0;;) {
        std::size_t end = name.find('\\', start);
        parts.push_back(name.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

// Win32 drops trailing dots and blanks, so "...", ".. " and ".." all climb.
bool Climbs(const std::string& part) {
    return part.find_first_not_of(". ") == std::string::npos && part.find("..") != std::string::npos;
}

bool Absolute(const std::string& name) {
    bool drive = name.size() >= 2 && name[1] == ':' &&
                 ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
    return drive || (!name.empty() && name[0] == '\\');
}

// "~ck" and one to eight hexadecimal digits from `at` to `end`, letter case ignored.
bool IsMark(const std::string& part, std::size_t at, std::size_t end) {
    if (end < at + 4 || end > at + 11 || part[at] != '~' || (part[at + 1] | 0x20) != 'c' || (part[at + 2] | 0x20) != 'k')
        return false;
    for (std::size_t i = at + 3; i < end; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(part[i]))) return false;
    return true;
}

NameCheck FaultOfPart(const std::string& part) {
    for (unsigned char c : part)
        if (c < 0x20 || std::strchr(":*?\"<>|", c)) return {NameFault::Character, c};
    if (part.empty() || part.back() == '.' || part.back() == ' ') return {NameFault::Malformed, 0};
    if (IsDeviceName(part)) return {NameFault::Device, 0};
    if (WorkNameOf(part) != WorkName::None) return {NameFault::WorkName, 0};
    return {};
}

}  // namespace

WorkName WorkNameOf(const std::string& part) {
    bool settling = part.size() > 2 && part[part.size() - 2] == '.' && (part.back() | 0x20) == 's';
    if (IsMark(part, 0, part.size()) || (settling && IsMark(part, 0, part.size() - 2))) return WorkName::Stage;
    std::size_t dot = part.rfind('.');
    if (dot != std::string::npos && dot > 0 && IsMark(part, dot + 1, part.size())) return WorkName::Copy;
    return WorkName::None;
}

NameCheck CheckCabinetName(const std::string& stored, std::string& relative) {
    relative = WithBackslashes(stored);
    if (relative.empty()) return {NameFault::Malformed, 0};
    if (Absolute(relative)) return {NameFault::Escapes, 0};
    std::vector<std::string> parts = Components(relative);
    for (const std::string& part : parts)
        if (Climbs(part)) return {NameFault::Escapes, 0};
    for (const std::string& part : parts) {
        NameCheck check = FaultOfPart(part);
        if (check.fault != NameFault::None) return check;
    }
    return {};
}
