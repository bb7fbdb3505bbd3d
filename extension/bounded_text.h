// Byte-wise text operations on the extension's fixed-size buffers. Nothing is ever
// written past `size`; a result that does not fit is never left cut off.
#pragma once

#include <cstddef>

// Copies `source` into `buffer`. False, with `buffer` empty, when it does not fit.
bool CopyText(char* buffer, std::size_t size, const char* source);

// Appends `source` to the text in `buffer`. False, with `buffer` empty, when the whole
// does not fit.
bool AppendText(char* buffer, std::size_t size, const char* source);

// Copies as much of `source` as fits, always terminated; true when nothing was cut.
bool CopyTextCut(char* buffer, std::size_t size, const char* source);

// Appends as much of `source` as fits, always terminated; true when nothing was cut.
bool AppendTextCut(char* buffer, std::size_t size, const char* source);

// True when `word` occurs in `text` as a case-sensitive substring.
bool ContainsText(const char* text, const char* word);

// The file name within a path: what follows the last backslash (or slash).
const char* FileNameOf(const char* path);

// Equal when the texts match byte for byte, folding only the ASCII letters A-Z onto
// a-z; every other byte (0x80 and above included) must match exactly, in any locale.
bool EqualIgnoringAsciiCase(const char* a, const char* b);

template <std::size_t N>
bool CopyText(char (&buffer)[N], const char* source) { return CopyText(buffer, N, source); }
template <std::size_t N>
bool AppendText(char (&buffer)[N], const char* source) { return AppendText(buffer, N, source); }
