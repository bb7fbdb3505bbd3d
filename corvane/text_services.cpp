// The host's text services: path joining, upper-casing and version order.
#include "host/corvane.h"
#include "host_rules.h"

int BuildPath(char* out, const char* dir, const char* name) {
    return host_rules::JoinPath(out, dir, name) ? 1 : 0;
}

int UpString(char* text) {
    if (!text) return 0;
    host_rules::UpperAscii(text);
    return 1;
}

int VerCompare(const char* a, const char* b) {
    return host_rules::CompareVersionTexts(a, b);
}
