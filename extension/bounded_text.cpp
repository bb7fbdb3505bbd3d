#include "bounded_text.h"

#include <cstring>

bool CopyText(char* buffer, std::size_t size, const char* source) {
    if (size == 0) return false;
    buffer[0] = '\0';
    return AppendText(buffer, size, source);
}

bool AppendText(char* buffer, std::size_t size, const char* source) {
    if (size == 0) return false;
    std::size_t used = std::strlen(buffer);
    std::size_t extra = std::strlen(source);
    if (used >= size || extra >= size - used) {
        buffer[0] = '\0';
        return false;
    }
    std::memcpy(buffer + used, source, extra + 1);
    return true;
}

bool CopyTextCut(char* buffer, std::size_t size, const char* source) {
    if (size == 0) return false;
    std::size_t length = std::strlen(source);
    bool fits = length < size;
    if (!fits) length = size - 1;
    std::memcpy(buffer, source, length);
    buffer[length] = '\0';
    return fits;
}

bool AppendTextCut(char* buffer, std::size_t size, const char* source) {
    std::size_t used = size ? strnlen(buffer, size - 1) : 0;
    return size != 0 && CopyTextCut(buffer + used, size - used, source);
}

bool ContainsText(const char* text, const char* word) {
    return std::strstr(text, word) != nullptr;
}

const char* FileNameOf(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/') name = p + 1;
    return name;
}

bool EqualIgnoringAsciiCase(const char* a, const char* b) {
    auto fold = [](unsigned char c) -> unsigned char {
        return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
    };
    for (;; ++a, ++b) {
        unsigned char x = fold(static_cast<unsigned char>(*a));
        unsigned char y = fold(static_cast<unsigned char>(*b));
        if (x != y) return false;
        if (x == '\0') return true;
    }
}
