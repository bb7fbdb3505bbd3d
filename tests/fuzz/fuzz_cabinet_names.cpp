// Names stored in a cabinet: every name accepted stays below the destination.
#include "corvane/cabinet_names.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    std::string stored = TextOf(data, size);
    std::string relative;
    if (CheckCabinetName(stored, relative).fault != NameFault::None) return 0;
    FUZZ_CHECK(!relative.empty() && relative[0] != '\\', "relative");
    FUZZ_CHECK(relative.find(':') == std::string::npos, "no drive or stream");
    FUZZ_CHECK(relative.find('/') == std::string::npos, "separators turned");
    std::size_t start = 0;
    for (;;) {
        std::size_t end = relative.find('\\', start);
        std::string part = relative.substr(start, end == std::string::npos ? end : end - start);
        FUZZ_CHECK(!part.empty() && part.find_first_not_of(". ") != std::string::npos, "no climbing component");
        FUZZ_CHECK(part.back() != '.' && part.back() != ' ', "no component Windows would shorten");
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return 0;
}
