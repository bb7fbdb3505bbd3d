#include "log_entry.h"

#include "bounded_text.h"
#include "host/corvane.h"

void LogJoined(const char* tag, std::initializer_list<const char*> texts) {
    char value[CORVANE_TEXT_SIZE] = "";
    for (const char* text : texts) AppendTextCut(value, sizeof value, text);
    Log(tag, value);
}
