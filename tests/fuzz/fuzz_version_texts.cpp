// Version texts: the order is a total order (antisymmetric, reflexive, texts that are no
// version below every version), and POSTCOPY unpacks exactly when the installed module's
// text ranks above the marker's, and touches no package when the module has no version.
#include "corvane/host_rules.h"
#include "extension/exports.h"
#include "fakes/fake_host.h"
#include "fakes/scratch_dir.h"
#include "fuzz_support.h"

namespace {
int Sign(int value) { return (value > 0) - (value < 0); }
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t split = input.find('|');
    std::string a = TextOf(data, split == std::string::npos ? size : split);
    std::string b = split == std::string::npos ? "" : TextOf(data + split + 1, size - split - 1);
    a = a.substr(0, 1023);
    b = b.substr(0, 1023);

    using host_rules::CompareVersionTexts;
    FUZZ_CHECK(CompareVersionTexts(a.c_str(), a.c_str()) == 0, "reflexive");
    FUZZ_CHECK(Sign(CompareVersionTexts(a.c_str(), b.c_str())) == -Sign(CompareVersionTexts(b.c_str(), a.c_str())),
               "antisymmetric");
    unsigned long parts[4];
    if (!host_rules::ParseVersionText(a.c_str(), parts))
        FUZZ_CHECK(CompareVersionTexts(a.c_str(), "0.0.0.0") < 0, "no version ranks below 0.0.0.0");

    static ScratchDir root;
    static bool made = (root.Write("shared\\velm\\kordalin\\QMT_Kordalin_001.cab"), true);
    (void)made;
    ResetFake();
    Fake().destinationRoot = root.Text();
    Fake().componentDir = root.Text();
    Fake().versions[root.Text() + "\\WsKordalin.dll"] = a;
    Fake().versions[root.Text() + "\\shared\\velm\\kordalin\\VAlmanor.dll"] = b;
    ScriptArgs args{""};
    int result = POSTCOPY(0, &args, "C:\\s.inf");
    bool unpacked = !CallsNamed("InstallCab").empty();
    bool deleted = !CallsNamed("RemoveFile").empty();
    if (CompareVersionTexts(a.c_str(), "0.0.0.0") < 0) {
        // Without the module's version the packages are kept and the run fails.
        FUZZ_CHECK(result == 0 && !unpacked && !deleted, "no module version keeps the packages");
        return 0;
    }
    FUZZ_CHECK(result == 1, "done");
    FUZZ_CHECK(unpacked != deleted, "either unpacked or deleted");
    FUZZ_CHECK(unpacked == (CompareVersionTexts(a.c_str(), b.c_str()) > 0), "unpacked exactly when newer");
    return 0;
}
