// cab_mutate.exe SEEDS COUNT WORK: damages real cabinets COUNT times (header fields, file
// and folder counts, offsets, sizes, names, truncation, stray bytes) and gives each
// variant to the host's InstallCab, in one process. For every variant: no crash, no hang
// (a watchdog), nothing written outside the destination, and the destination either
// unchanged (InstallCab returned 0) or holding every file the variant records, whole
// (returned 1). Prints the tally; exit status 1 on the first violation, with the variant
// kept in WORK.
#include <windows.h>
#include <fcntl.h>
#include <fdi.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bench/plain_fdi.h"
#include "corvane/cabinet_names.h"
#include "host/corvane.h"
#include "host/host_test_support.h"

namespace {

using Bytes = std::vector<unsigned char>;
using Tree = std::map<std::string, std::string>;  // relative path -> bytes

std::atomic<unsigned long> progress{0};
std::string work;

Bytes ReadFileBytes(const std::string& path) {
    std::string bytes = ReadAll(path);
    return Bytes(bytes.begin(), bytes.end());
}

void WriteFileBytes(const std::string& path, const void* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
}

void ListTree(const std::string& dir, const std::string& prefix, Tree& tree) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ListTree(dir + "\\" + name, prefix + name + "\\", tree);
            tree[prefix + name + "\\"] = "";
        } else {
            tree[prefix + name] = ReadAll(dir + "\\" + name);
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

void RemoveTree(const std::string& dir) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName, path = dir + "\\" + name;
            if (name == "." || name == "..") continue;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(path);
            else DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(dir.c_str());
}

// --- What a cabinet records, read by the platform's FDI with plain callbacks ----------
// Every file is skipped, so nothing is ever written.
FNFDINOTIFY(Record) {
    if (fdint == fdintCOPY_FILE) {
        auto& recorded = *static_cast<std::map<std::string, unsigned long>*>(pfdin->pv);
        std::string relative;
        if (CheckCabinetName(pfdin->psz1 ? pfdin->psz1 : "", relative).fault == NameFault::None) recorded[relative] = pfdin->cb;
    }
    return 0;  // skip the data: only the directory is wanted
}

std::map<std::string, unsigned long> RecordedFiles(const std::string& cabinet) {
    std::map<std::string, unsigned long> recorded;
    ERF error{};
    HFDI fdi = plain_fdi::Create(error);
    std::string folder = cabinet.substr(0, cabinet.find_last_of('\\') + 1);
    std::string name = cabinet.substr(folder.size());
    FDICopy(fdi, &name[0], &folder[0], 0, Record, nullptr, &recorded);
    FDIDestroy(fdi);
    return recorded;
}

// --- Damage ----------------------------------------------------------------------------
struct Random {
    unsigned long long state;
    unsigned long long Next() {
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        return state;
    }
    std::size_t Below(std::size_t n) { return n ? static_cast<std::size_t>(Next() % n) : 0; }
};

unsigned Get16(const Bytes& b, std::size_t at) { return at + 2 <= b.size() ? b[at] | b[at + 1] << 8 : 0; }
unsigned long Get32(const Bytes& b, std::size_t at) {
    return at + 4 <= b.size() ? b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<unsigned long>(b[at + 3]) << 24 : 0;
}
void Put(Bytes& b, std::size_t at, unsigned long value, int size) {
    for (int i = 0; i < size && at + i < b.size(); ++i) b[at + i] = static_cast<unsigned char>(value >> (8 * i));
}
unsigned long Edge(Random& r, unsigned long value) {
    const unsigned long edges[] = {0, 1, value - 1, value + 1, value * 2, 0x7FFF, 0xFFFF, 0x10000, 0x7FFFFFFF, 0xFFFFFFFF};
    return r.Below(3) == 0 ? static_cast<unsigned long>(r.Next()) : edges[r.Below(10)];
}

// Offsets of the file entries (CFFILE) of a cabinet without reserved areas.
std::vector<std::size_t> FileEntries(const Bytes& cab) {
    std::vector<std::size_t> entries;
    std::size_t at = Get32(cab, 16);
    for (unsigned i = 0; i < Get16(cab, 28) && at + 16 < cab.size(); ++i) {
        entries.push_back(at);
        at += 16;
        while (at < cab.size() && cab[at]) ++at;
        ++at;
    }
    return entries;
}

// Damages `cab` in one way; every index is checked, since a cabinet damaged once before
// may be short or empty.
const char* Mutate(Bytes& cab, Random& r) {
    if (cab.empty()) return "empty";
    std::vector<std::size_t> files = FileEntries(cab);
    std::size_t folder = 36, data = Get32(cab, folder);  // Get32 and Put stay inside the bytes
    std::size_t file = files.empty() ? 0 : files[r.Below(files.size())];
    switch (r.Below(8)) {
        case 0: {
            std::size_t at = r.Below(36);
            Put(cab, at, Edge(r, at < cab.size() ? cab[at] : 0), 1 + static_cast<int>(r.Below(4)));
            return "header field";
        }
        case 1: Put(cab, r.Below(2) ? 26 : 28, Edge(r, Get16(cab, 28)), 2); return "file or folder count";
        case 2: {
            std::size_t at = r.Below(3) == 0 ? 16 : r.Below(2) ? folder : file + 4;
            Put(cab, at, Edge(r, Get32(cab, at)), 4);
            return "offset";
        }
        case 3: {
            std::size_t at = r.Below(3) == 0 ? 8 : r.Below(2) ? file : data + 4 + 2 * r.Below(2);
            Put(cab, at, Edge(r, Get32(cab, at)), at == data + 4 || at == data + 6 ? 2 : 4);
            return "size";
        }
        case 4: {
            if (!file) return "name (none)";
            const char replacements[] = {'/', '\\', '.', ':', '\0', ' ', '*', static_cast<char>(0xE9)};
            std::size_t length = 0;
            while (file + 16 + length < cab.size() && cab[file + 16 + length]) ++length;
            for (std::size_t n = 1 + r.Below(3); n-- > 0;) {
                std::size_t at = file + 16 + r.Below(length + 1);
                if (at < cab.size()) cab[at] = static_cast<unsigned char>(replacements[r.Below(8)]);
            }
            return "name";
        }
        case 5: Put(cab, file + 12, Edge(r, 0), 2); return "attributes";
        case 6: cab.resize(r.Below(cab.size())); return "truncation";
        default:
            for (std::size_t n = 1 + r.Below(8); n-- > 0;) cab[r.Below(cab.size())] ^= static_cast<unsigned char>(1 + r.Below(255));
            return "stray bytes";
    }
}

// --- The checks --------------------------------------------------------------------------
const Tree kSentinel = {{"a.txt", "old a"}, {"keep.txt", "keep"}, {"dir\\", ""}, {"dir\\b.txt", "old b"}};

void PlaceSentinel(const std::string& dest) {
    RemoveTree(dest);
    CreateDirectoryA(dest.c_str(), nullptr);
    for (const auto& [path, bytes] : kSentinel) {
        if (path.back() == '\\') CreateDirectoryA((dest + "\\" + path).c_str(), nullptr);
        else WriteFileBytes(dest + "\\" + path, bytes.data(), bytes.size());
    }
}

// "" when the outcome is sound, else what is wrong.
std::string Check(int result, const std::string& box, const std::string& dest, const std::string& cabinet) {
    Tree outside;
    ListTree(box, "", outside);
    for (const auto& entry : outside)
        if (entry.first.rfind("dest\\", 0) != 0 && entry.first != "variant.cab")
            return "written outside the destination: " + entry.first;
    Tree got;
    ListTree(dest, "", got);
    // The host's own staging folder may stay for the run, with empty folders at most.
    for (auto it = got.begin(); it != got.end();) {
        if (it->first.rfind("~ck", 0) != 0) { ++it; continue; }
        if (it->first.back() != '\\') return "staging left behind: " + it->first;
        it = got.erase(it);
    }
    if (result == 0) return got == kSentinel ? "" : "refused, yet the destination changed";
    for (const auto& [name, size] : RecordedFiles(cabinet)) {
        auto found = got.find(name);
        if (found == got.end()) return "unpacked, yet " + name + " is missing";
        if (found->second.size() != size) return "unpacked, yet " + name + " is not whole";
    }
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: cab_mutate.exe SEEDS COUNT WORK\n");
        return 2;
    }
    std::vector<Bytes> seeds;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((std::string(argv[1]) + "\\*.cab").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do seeds.push_back(ReadFileBytes(std::string(argv[1]) + "\\" + entry.cFileName));
        while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    if (seeds.empty()) {
        std::fprintf(stderr, "cab_mutate: no cabinets in %s\n", argv[1]);
        return 2;
    }
    unsigned long count = std::strtoul(argv[2], nullptr, 10);
    work = argv[3];
    std::string box = work + "\\box", dest = box + "\\dest", cabinet = box + "\\variant.cab";
    CreateDirectoryA(work.c_str(), nullptr);
    CreateDirectoryA(box.c_str(), nullptr);

    // A variant that takes this long has hung.
    std::thread([] {
        for (unsigned long last = ~0ul;; Sleep(20000)) {
            unsigned long now = progress.load();
            if (now == last) {
                std::printf("cab_mutate: variant %lu hangs (kept as variant.cab)\n", now);
                std::fflush(stdout);
                ExitProcess(3);
            }
            last = now;
        }
    }).detach();

    Random random{0x9E3779B97F4A7C15ull};
    std::map<std::string, unsigned long> kinds;
    unsigned long whole = 0, refused = 0;
    DWORD start = GetTickCount();
    PlaceSentinel(dest);
    for (unsigned long i = 0; i < count; ++i, ++progress) {
        Bytes variant = seeds[random.Below(seeds.size())];
        const char* kind = Mutate(variant, random);
        if (random.Below(4) == 0) Mutate(variant, random);  // now and then, two faults at once
        ++kinds[kind];
        WriteFileBytes(cabinet, variant.data(), variant.size());
        int result = InstallCab(cabinet.c_str(), dest.c_str(), 1, 0);
        std::string wrong = Check(result, box, dest, cabinet);
        if (!wrong.empty()) {
            std::printf("cab_mutate: variant %lu (%s): %s; kept in %s\n", i, kind, wrong.c_str(), cabinet.c_str());
            return 1;
        }
        ++(result ? whole : refused);
        if (result) PlaceSentinel(dest);
    }
    std::printf("cab_mutate: %lu variants of %zu cabinets in %.1f s: %lu unpacked whole, %lu refused whole;"
                " no crash, no hang, nothing outside, nothing partial\n",
                count, seeds.size(), (GetTickCount() - start) / 1000.0, whole, refused);
    for (const auto& [kind, n] : kinds) std::printf("  %-22s %lu\n", kind.c_str(), n);
    RemoveTree(box);
    return 0;
}
