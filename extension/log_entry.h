// Log entries whose value is made of several texts.
#pragma once

#include <initializer_list>

// Logs `tag` with the texts joined into one text buffer; what does not fit is cut from
// the end, never written past the buffer.
void LogJoined(const char* tag, std::initializer_list<const char*> texts);
