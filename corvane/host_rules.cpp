#include "host_rules.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/corvane.h"

namespace host_rules {

bool CopyIfFits(char* buffer, std::size_t size, const std::string& text) {
    if (!buffer || size == 0) return false;
    bool fits = text.size() < size;
    std::memcpy(buffer, fits ? text.c_str() : "", fits ? text.size() + 1 : 1);
    return fits;
}

bool JoinPath(char* out, const char* dir, const char* name) {
    if (!out) return false;
    std::string joined = dir ? dir : "";
    std::string tail = name ? name : "";
    bool dirEnds = !joined.empty() && (joined.back() == '\\' || joined.back() == '/');
    bool nameStarts = !tail.empty() && (tail.front() == '\\' || tail.front() == '/');
    if (dirEnds && nameStarts)
        tail.erase(0, 1);
    else if (!joined.empty() && !dirEnds && !nameStarts)
        joined += '\\';
    joined += tail;
    return CopyIfFits(out, CORVANE_PATH_SIZE, joined);
}

void UpperAscii(char* text) {
    for (char* p = text; p && *p; ++p)
        if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
}

bool ParseVersionText(const char* text, unsigned long parts[4]) {
    for (int i = 0; i < 4; ++i) parts[i] = 0;
    if (!text) return false;
    int count = 0;
    const char* p = text;
    while (true) {
        if (*p < '0' || *p > '9' || count == 4) return false;
        unsigned long value = 0;
        for (; *p >= '0' && *p <= '9'; ++p) {
            value = value * 10 + static_cast<unsigned long>(*p - '0');
            if (value > 0xFFFFul) return false;
        }
        parts[count++] = value;
        if (*p == '\0') return true;
        if (*p++ != '.') return false;
    }
}

void FormatVersionText(char* buffer, std::size_t size, unsigned long a, unsigned long b,
                       unsigned long c, unsigned long d) {
    if (buffer && size) std::snprintf(buffer, size, "%lu.%lu.%lu.%lu", a, b, c, d);
}

int CompareVersionTexts(const char* a, const char* b) {
    unsigned long x[4], y[4];
    bool hasA = ParseVersionText(a, x);
    bool hasB = ParseVersionText(b, y);
    if (!hasA || !hasB) return (hasA ? 1 : 0) - (hasB ? 1 : 0);
    for (int i = 0; i < 4; ++i)
        if (x[i] != y[i]) return x[i] > y[i] ? 1 : -1;
    return 0;
}

void PairList::Append(const char* key, const char* value) {
    pairs_.emplace_back(key ? key : "", value ? value : "");
}

void PairList::Sort(bool byKey, bool descending) {
    // std::string compares as unsigned bytes, which is the order the callers rely on.
    auto field = [byKey](const std::pair<std::string, std::string>& p) -> const std::string& {
        return byKey ? p.first : p.second;
    };
    std::stable_sort(pairs_.begin(), pairs_.end(), [&](const auto& a, const auto& b) {
        return descending ? field(b) < field(a) : field(a) < field(b);
    });
    next_ = 0;
}

bool PairList::First(char*& key, char*& value) {
    next_ = 0;
    return Next(key, value);
}

bool PairList::Next(char*& key, char*& value) {
    if (next_ >= pairs_.size()) return false;
    auto& pair = pairs_[next_++];
    key = &pair.first[0];
    value = &pair.second[0];
    return true;
}

}  // namespace host_rules
