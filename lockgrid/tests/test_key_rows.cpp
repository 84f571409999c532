// How key lines become KeysArray rows: the cells cut from PGP and Mix key
// lines, one row per pinger and pinged item, the Mix lines too short to read,
// and key files that cannot be opened or read.
#include <string>
#include <vector>

#include "lockgrid/tests/LockgridFixture.h"

namespace parlux::test {
namespace {

TEST(KeyLines, PgpLinesAreCutIntoKeyIdAddressAndDetail) {
    struct Case {
        std::string line, keyId, address, detail;
    };
    const std::vector<Case> cases = {
        {"pub  1024/09754B59 2008/05/14  Frell Remailer <godot@remailer.frell.eu.org>", "09754B59",
         "godot@remailer.frell.eu.org", "1024/09754B59 2008/05/14  Frell Remailer <godot@remailer.frell.eu.org>"},
        // Double quotes leave the detail only; the address keeps what it holds.
        {"pub  1024/B052DF06 2012/04/24  \"privacy.at Remailer\" <mix\"master@privacy.at>", "B052DF06",
         "mix\"master@privacy.at", "1024/B052DF06 2012/04/24  privacy.at Remailer <mixmaster@privacy.at>"},
        {"pub  1024/5E7F1E0C 2012/11/10  Raspberry Pi", "5E7F1E0C", "", "1024/5E7F1E0C 2012/11/10  Raspberry Pi"},
        {"pub  1024/5E7F1E0C 2012/11/10  a>b <c", "5E7F1E0C", "", "1024/5E7F1E0C 2012/11/10  a>b <c"},
        {"pub  1024/5E7F1E0C 2012/11/10  <> <b@y>", "5E7F1E0C", "", "1024/5E7F1E0C 2012/11/10  <> <b@y>"},
        {"pub  1024/5E7F1E0C 2012/11/10  <a@x> <b@y>", "5E7F1E0C", "a@x", "1024/5E7F1E0C 2012/11/10  <a@x> <b@y>"},
        {"pub  2047/E04", "E04", "", "2047/E04"},
        {"pub  ", "", "", ""},
        {"pub", "", "", ""},
    };
    for (const auto& c : cases) {
        const PgpKeyCells cells = CutPgpKeyLine(c.line);
        EXPECT_EQ(cells.keyId, c.keyId) << c.line;
        EXPECT_EQ(cells.address, c.address) << c.line;
        EXPECT_EQ(cells.detail, c.detail) << c.line;
    }
}

TEST(KeyLines, MixLinesAreCutAtTheirFirstThreeBlanks) {
    struct Case {
        std::string line, name, address, keyId;
    };
    const std::vector<Case> cases = {
        {"aarg remailer@aarg.net 475f3f9fe8da22896c10082695a92c2d 2:2.9.0.1 MC", "aarg", "remailer@aarg.net",
         "475f3f9fe8da22896c10082695a92c2d"},
        {"AUSTRIA mixmaster@remailer.privacy.at 37586091b168b5e5b9a4b0d8cbe0e0de 2:2.9.1 C", "austria",
         "mixmaster@remailer.privacy.at", "37586091b168b5e5b9a4b0d8cbe0e0de"},
        // Three words: no blank closes the key ID.
        {"dizum remailer@dizum.com 314d6e1d1482e73781925562ef41cb56", "dizum", "remailer@dizum.com", ""},
        {"Two words", "two", "", ""},
        {"one  remailer@double.blank key more", "one", "", "remailer@double.blank"},
        {std::string(60, 'x'), "", "", ""},
        // Control characters of a hostile list reach no page.
        {"evil\x1b]0;owned\x07 a@b.example key\x7f\x01 x", "evil?]0;owned?", "a@b.example", "key??"},
        {"tab\tname addr\tess id more", "tab?name", "addr?ess", "id"},
    };
    for (const auto& c : cases) {
        const MixKeyCells cells = CutMixKeyLine(c.line);
        EXPECT_EQ(cells.name, c.name) << c.line;
        EXPECT_EQ(cells.address, c.address) << c.line;
        EXPECT_EQ(cells.keyId, c.keyId) << c.line;
    }
}

using KeyRows = LockgridTest;

TEST_F(KeyRows, MixRowsOncePerPingerAndNameAndNoneFromShortLines) {
    setPingers({"alpha", "beta"});
    const std::string fifty = "short remailer@short.example 0123456789abcdef01234";
    ASSERT_EQ(fifty.size(), 50u);
    const std::string noBlank(51, 'x');
    WriteFile(data_ / "alpha_type2.lis", fifty + "\r\n" + fifty + "x\r\n" + noBlank + "\r\n" + noBlank + "y\r\n" +
                                             "Aarg remailer@aarg.net 475f3f9fe8da22896c10082695a92c2d 2:2.9.0.1 MC\r\n"
                                             "aarg remailer@aarg.example 00000000000000000000000000000000 2:3 MC\r\n");
    WriteFile(data_ / "beta_type2.lis", "aarg remailer@aarg.net 475f3f9fe8da22896c10082695a92c2d 2:2.9.0.1 MC\r\n");
    workbench().chooseType(2);  // K-TY2
    workbench().press("LOA_Keys");
    EXPECT_EQ(workbench().box("txt_LOA_Keys"), "4");
    const Table& keys = workbench().table(kMainTable);
    std::vector<std::vector<std::string>> rows;
    rows.reserve(static_cast<std::size_t>(keys.rowCount()));
    for (int r = 0; r < keys.rowCount(); ++r)
        rows.push_back({keys.text(0, r), keys.text(1, r), keys.text(2, r), keys.text(3, r)});
    EXPECT_EQ(rows, (std::vector<std::vector<std::string>>{
                        {"alpha", "short", "remailer@short.example", ""},  // no blank after the key ID
                        {"alpha", "", "", ""},
                        {"alpha", "aarg", "remailer@aarg.net", "475f3f9fe8da22896c10082695a92c2d"},
                        {"beta", "aarg", "remailer@aarg.net", "475f3f9fe8da22896c10082695a92c2d"},
                    }));
    // The same remailer at two pingers: one pinged item.
    workbench().press("LOA_Pingeds");
    EXPECT_EQ(workbench().box("txt_LOA_Pingeds"), "3");
}

// A short type2.list with LF line ends is not repaired (its first line is
// under 200 characters): every remailer of it is read all the same.
TEST_F(KeyRows, MixListsOfAnyLineEndGiveEveryRemailer) {
    const std::vector<std::string> lines = {
        "aarg remailer@aarg.net 475f3f9fe8da22896c10082695a92c2d 2:2.9.0.1 MC",
        "dizum remailer@dizum.com 314d6e1d1482e73781925562ef41cb56 2:2.9.0 MC",
    };
    for (const std::string end : {"\n", "\r\n", "\r"}) {
        setPingers({"alpha"});
        WriteFile(data_ / "alpha_type2.lis", lines[0] + end + lines[1] + end);
        workbench().chooseType(2);  // K-TY2
        workbench().press("FIX_LfToCrLf");
        workbench().press("LOA_Keys");
        EXPECT_EQ(workbench().box("txt_LOA_Keys"), "2") << (end == "\n" ? "LF" : end == "\r" ? "CR" : "CR LF");
    }
}

TEST_F(KeyRows, KeyFilesThatCannotBeOpenedOrReadGiveNoRowsAndTheLoopGoesOn) {
    setPingers({"alpha", "beta", "gamma"});
    WriteFile(data_ / "alpha_rsakeys.asc", KeyData("pubring.asc"));
    WriteFile(data_ / "gamma_rsakeys.asc", "<html>moved</html>\r\n");
    workbench().press("LOA_Keys");
    EXPECT_EQ(workbench().box("txt_LOA_Keys"), "23");
    EXPECT_TRUE(messages().empty());
    const std::string records = log();
    for (const std::string expected :
         {"\"LOA_KeysArray alpha K-RSA in Progress\"\r\n", "\"LOA_KeysArray alpha K-RSA Succesful\"\r\n",
          "\"LOA_KeysArray beta K-RSA <data>/beta_rsakeys.asc cannot be opened\"\r\n",
          "\"LOA_KeysArray beta K-RSA Succesful\"\r\n",
          "\"LOA_KeysArray gamma K-RSA <data>/gamma_rsakeys.asc not read as PGP keys: ",
          "\"LOA_KeysArray gamma K-RSA Succesful\"\r\n", "\"LOA_Keys Completed: K-RSA - 23\",\" \"\r\n"})
        EXPECT_NE(records.find(expected), std::string::npos) << expected;

    // A Mix list that cannot be opened, likewise.
    workbench().chooseType(3);  // K-MIX
    workbench().press("LOA_Keys");
    EXPECT_EQ(workbench().box("txt_LOA_Keys"), "0");
    EXPECT_NE(log().find("\"LOA_KeysArray gamma K-MIX <data>/gamma_pubring.mix cannot be opened\""), std::string::npos);

    // A ring read only up to a point: the run's stderr summary names the
    // cut, not only the log.
    setPingers({"alpha"});
    const std::string ring = KeyData("beta_rsakeys.gpg");
    WriteFile(data_ / "alpha_rsakeys.asc", ring.substr(0, ring.size() / 2));
    workbench().chooseType(0);  // K-RSA
    workbench().press("LOA_Keys");
    ASSERT_NE(workbench().box("txt_LOA_Keys"), "0");
    const std::string summary = workbench().report().summary("Lockgrid");
    EXPECT_NE(summary.find("Lockgrid: alpha K-RSA: only the first " + workbench().box("txt_LOA_Keys") + " keys read\n"),
              std::string::npos)
        << summary;
}

TEST_F(KeyRows, WithoutPingersTheKeysStayAsTheyWere) {
    setPingers({"alpha"});
    WriteFile(data_ / "alpha_rsakeys.asc", KeyData("pubring.asc"));
    workbench().press("LOA_Keys");
    workbench().table(kPingersTable).reset();
    workbench().press("LOA_Keys");
    EXPECT_EQ(workbench().box("txt_LOA_Keys"), "0");
    EXPECT_EQ(workbench().count(kMainTable), 23);
    EXPECT_EQ(messages(), std::vector<std::string>{"9\r\nSubscript out of range\r\nArray not Initialized"});
}

}  // namespace
}  // namespace parlux::test
