// The command text through the whole POSTCOPY decision path: any text of any length
// either stops the update (exactly when its first 1023 bytes, upper-cased, hold a stop
// word) or runs it; the run always closes, the lock is never left held.
#include <cstring>

#include "extension/exports.h"
#include "fakes/fake_host.h"
#include "fakes/scratch_dir.h"
#include "fuzz_support.h"

namespace {

bool ExpectStop(std::string text) {
    text = text.substr(0, 1023);
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    for (const char* word : {"DIAG", "NETMODE", "WS"})
        if (text.find(word) != std::string::npos) return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    static ScratchDir root;
    static bool made = (root.Write("shared\\velm\\kordalin\\QMT_Kordalin_000.cab"), true);
    (void)made;
    std::string text = TextOf(data, size);
    ResetFake();
    Fake().destinationRoot = root.Text();
    Fake().versions[root.Text() + "\\WsKordalin.dll"] = "5.1.1.0";
    Fake().versions[root.Text() + "\\shared\\velm\\kordalin\\VAlmanor.dll"] = "5.1.1.0";
    Fake().componentDir = root.Text();

    ScriptArgs args{text.c_str()};
    int result = POSTCOPY(0, &args, "C:\\setup\\Kordex.inf");
    FUZZ_CHECK(result == 1, "POSTCOPY returns 1 for every command text here");
    FUZZ_CHECK(CallsNamed("_ExitSkript").size() == 1, "the run is closed once");
    FUZZ_CHECK(Fake().calls.back().rfind("_ExitSkript(", 0) == 0, "closing is the last call");
    bool ran = !CallsNamed("FileLocked").empty();
    FUZZ_CHECK(ran != ExpectStop(text), "the update stops exactly on a stop word");
    FUZZ_CHECK(Fake().lastCommandText.size() == std::min<std::size_t>(text.size(), 1023), "the text is cut at 1023");
    FUZZ_CHECK(!std::filesystem::exists(root.Below("shared\\velm\\kordalin\\VAlmanor.sem")), "the lock is released");
    return 0;
}
