#include <cstdlib>

#include "PipelineFixture.h"

namespace parlux::test {

void ExpectGolden(const std::string& actual, const std::string& goldenName) {
    const auto path = SourceDir() / "pulsegrid/tests/golden" / goldenName;
    if (const char* update = std::getenv("PARLUX_UPDATE_GOLDEN"); update && std::string(update) == "1") {
        std::filesystem::create_directories(path.parent_path());
        WriteFile(path, actual);
        return;
    }
    ASSERT_TRUE(std::filesystem::exists(path)) << "missing expected file " << path;
    const std::string expected = ReadFile(path);
    if (expected == actual) return;
    // Point at the first line that differs.
    const auto a = CrLfLines(actual), e = CrLfLines(expected);
    std::size_t i = 0;
    while (i < a.size() && i < e.size() && a[i] == e[i]) ++i;
    ADD_FAILURE() << goldenName << " differs from the expected file at line " << i + 1 << "\n  expected: "
                  << (i < e.size() ? e[i] : "<end>") << "\n  actual:   " << (i < a.size() ? a[i] : "<end>");
}

}  // namespace parlux::test
