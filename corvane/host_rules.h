// The rules of the host services, shared by the host library and the test fakes so that
// both behave alike: path joining, upper-casing, version texts and their order, and the
// key/value list.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace host_rules {

// Copies `text` into a caller's buffer of `size` bytes, terminated; when it does not fit
// (or there is no buffer), the buffer becomes empty (if it has a byte) and the result is
// false: a text cut short is never handed out.
bool CopyIfFits(char* buffer, std::size_t size, const std::string& text);

// Joins `dir` and `name` with one backslash into `out` (CORVANE_PATH_SIZE bytes); when
// the result does not fit, `out` becomes empty and the result is false.
bool JoinPath(char* out, const char* dir, const char* name);

// Upper-cases the ASCII letters a-z in place; other bytes stay as they are.
void UpperAscii(char* text);

// Parses one to four dot-separated decimal numbers up to 65535 (missing ones are 0).
// False for any other text, such as the one written for a file without a version.
bool ParseVersionText(const char* text, unsigned long parts[4]);

// Formats four numbers as "a.b.c.d" into `buffer`, cut to fit.
void FormatVersionText(char* buffer, std::size_t size, unsigned long a, unsigned long b,
                       unsigned long c, unsigned long d);

// Greater than 0 when `a` is newer; a text that is no version ranks below every version.
int CompareVersionTexts(const char* a, const char* b);

// The ordered key/value pairs behind CMemInf, holding their own copies.
class PairList {
public:
    void Append(const char* key, const char* value);
    // Orders by key (or value), ascending (or descending) by unsigned byte value; stable.
    void Sort(bool byKey, bool descending);
    // True while a pair comes; the pointers stay valid while the list lives unchanged.
    bool First(char*& key, char*& value);
    bool Next(char*& key, char*& value);

private:
    std::vector<std::pair<std::string, std::string>> pairs_;
    std::size_t next_ = 0;
};

// The texts given to a file that has no version.
constexpr const char* kNoFileVersion = "none (file missing)";
constexpr const char* kNoVersionResource = "none (no version resource)";

}  // namespace host_rules
