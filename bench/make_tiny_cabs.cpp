// make_tiny_cabs.exe FOLDER COUNT: writes COUNT tiny packages into FOLDER, a base package
// QMT_Kordalin_000.cab and numbered ones after it, each holding one small page of its own.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "../tests/host/cab_writer.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_tiny_cabs.exe FOLDER COUNT\n");
        return 2;
    }
    std::string folder = argv[1];
    int count = std::atoi(argv[2]);
    for (int i = 0; i < count; ++i) {
        char name[64], page[64];
        std::snprintf(name, sizeof name, i == 0 ? "QMT_Kordalin_000.cab" : "QMT_Kordalin_1%05d.cab", i);
        std::snprintf(page, sizeof page, "Kordex/tiny/%03d/page%05d.html", i / 100, i);
        CabWriter()
            .Add(page, "<html><body><p>Tiny page " + std::to_string(i) + " of the scale test.</p></body></html>\n")
            .Write(folder + "\\" + name);
    }
    return 0;
}
