// A whole HYPER run over three pingers' key files served on a loopback port:
// the four Comp_RK_ pages compared whole with the expected pages.
#include <algorithm>

#include "lockgrid/tests/LockgridFixture.h"

namespace parlux::test {
namespace {

class HyperGolden : public LockgridTest {
protected:
    void SetUp() override {
        const auto records = ServeKeyFiles(server_);
        server_.start();
        writeList(KeyFilesList(records, server_));
    }
    LoopbackServer server_;
};

TEST_F(HyperGolden, EveryKeyTypeGivesItsPageByteForByte) {
    // Key dates are UTC wherever the run is.
    const ScopedTimeZone farWest("BIT+12");
    workbench().HYPER();

    for (const std::string type : {"K-RSA", "K-DSS", "K-TY2", "K-MIX"}) {
        const std::string text = page(type);
        ExpectGolden(text, KeysGolden("Comp_RK_" + type + ".txt"));
        const auto lines = CrLfLines(text);
        const std::size_t width = type == "K-RSA" || type == "K-DSS" ? 172 : 84;
        EXPECT_TRUE(std::all_of(lines.begin() + 2, lines.end(), [width](const std::string& l) {
            return l.empty() || l.size() == width;
        })) << type;
    }
    // The real keyring's 23 keys, the 2047-bit one among them, each in its own block.
    const auto rsa = CrLfLines(page("K-RSA"));
    EXPECT_EQ(std::count_if(rsa.begin(), rsa.end(), [](const std::string& l) { return l.starts_with("alpha    |<"); }),
              23);
    EXPECT_NE(page("K-RSA").find("-2047/E0431A25 2012/07/14  kroken Remailer <remailer@kroken.dynalias.com>"),
              std::string::npos);

    // HYPER starts no other program and ends idle on the last type.
    EXPECT_TRUE(launcher_.started.empty());
    EXPECT_EQ(workbench().statsType(), "K-MIX");
    for (int t = 0; t < 3; ++t) EXPECT_FALSE(workbench().table(t).loaded());
    EXPECT_TRUE(messages().empty()) << messages().front();
    const std::string records = log();
    EXPECT_NE(records.find("\"LOA_KeysArray gamma K-RSA <data>/gamma_rsakeys.asc not read as PGP keys: "),
              std::string::npos);
    EXPECT_NE(records.find("\"PRT_Compil Completed: K-MIX - True\""), std::string::npos);
}

TEST_F(HyperGolden, APageThatCannotBeWrittenOrHasNoKeysSaysFalse) {
    workbench().chooseType(2);  // K-TY2
    workbench().SUPER();
    ASSERT_EQ(workbench().box("txt_PRT_Compil"), "True");
    const std::string written = page("K-TY2");

    // A folder stands where the K-MIX page goes: it cannot be replaced.
    std::filesystem::create_directory(data_ / "Comp_RK_K-MIX.txt");
    workbench().chooseType(3);
    workbench().SUPER();
    EXPECT_EQ(workbench().box("txt_PRT_Compil"), "False");
    EXPECT_EQ(messages(), std::vector<std::string>{"<data>/Comp_RK_K-MIX.txt cannot be written"});
    EXPECT_TRUE(std::filesystem::is_directory(data_ / "Comp_RK_K-MIX.txt"));

    // No keys loaded: the box, False, and the page of the type untouched.
    messages_.texts.clear();
    workbench().chooseType(2);
    workbench().RESET();
    workbench().press("PRT_Compil");
    EXPECT_EQ(workbench().box("txt_PRT_Compil"), "False");
    EXPECT_EQ(page("K-TY2"), written);
    EXPECT_EQ(messages(), std::vector<std::string>{"9\r\nSubscript out of range\r\nArray not Initialized"});
}

}  // namespace
}  // namespace parlux::test
