// make_cab.exe OUT NAME=CONTENT...: writes an uncompressed cabinet holding each NAME with
// its CONTENT, storing the names exactly as given (escaping ones included).
#include <cstdio>
#include <string>

#include "../cab_writer.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "make_cab.exe: usage: make_cab.exe OUT NAME=CONTENT...\n");
        return 2;
    }
    CabWriter cab;
    for (int i = 2; i < argc; ++i) {
        std::string entry = argv[i];
        std::size_t equals = entry.find('=');
        cab.Add(entry.substr(0, equals), equals == std::string::npos ? "" : entry.substr(equals + 1));
    }
    if (!cab.Write(argv[1])) {
        std::fprintf(stderr, "make_cab.exe: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
