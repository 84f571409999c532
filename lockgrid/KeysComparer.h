#pragma once
// Lockgrid's procedures on the workbench: download the key files of one type,
// read their keys (PGP keyrings through the in-process key lister, Mix key
// lists line by line), build the pinger × pinged-item grid and write
// Comp_RK_<type>.txt.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "workbench/Grid.h"
#include "workbench/Workbench.h"

namespace parlux {

// KeysArray columns. The pinged item is the key ID for the PGP types and the
// remailer name for the Mix types; address and detail are the Mix key list's
// second and third words.
enum KeyColumn : int { kKeyNick = 0, kKeyItem = 1, kKeyAddress = 2, kKeyDetail = 3, kKeySort = 4 };

// A PGP key line cut into its cells: key ID (characters 11 to 18), address
// (between the first "<" and the next ">"; empty without both), detail (the
// line from character 6 on, every double quote removed).
struct PgpKeyCells {
    std::string keyId, address, detail;
};
PgpKeyCells CutPgpKeyLine(std::string_view line);

// A Mix key description line cut at its first three single blanks: name
// (lower case), address, key ID; a word whose blanks are missing stays empty.
// Control characters are written as "?".
struct MixKeyCells {
    std::string name, address, keyId;
};
MixKeyCells CutMixKeyLine(std::string_view line);

// Mix key lines of 50 characters or fewer are never read.
constexpr std::size_t kShortestMixKeyLine = 51;

class KeysProcedures {
public:
    explicit KeysProcedures(WorkbenchCore& workbench) : wb_(workbench) {}

    static WorkbenchDescription Describe();
    // The actions in SUPER's order, each with the procedure behind its button.
    static const std::vector<ComparerAction<KeysProcedures>>& Actions();
    std::vector<std::string> OutputPages() const;
    // What the pages PRT_Compil has just written showed, for the history.
    RecordedRun PagesShown() const;

    long LOA_Pingers();
    long FIX_LfToCrLf();
    long SRT_Pingers();
    long LOA_Keys();
    long LOA_Pingeds();
    long SRT_Pingeds();
    long EXP_Keys();
    long REV_Keys();
    long SRT_Keys();
    long PRT_Compil();

    // LOA_Keys by type: the rows added.
    long LoadPgpKeys();
    long LoadMixKeys();
    // One key line of a pinger; true when a row was added (a key ID, or a
    // remailer name, is recorded once per pinger).
    bool AddPgpKeyRow(const std::string& nick, std::string_view line);
    bool AddMixKeyRow(const std::string& nick, std::string_view line);

    static const GridColumns kGrid;

private:
    Table& pingers() { return wb_.table(kPingersTable); }
    Table& pingeds() { return wb_.table(kPingedsTable); }
    Table& keys() { return wb_.table(kMainTable); }
    const std::string& type() const { return wb_.statsType(); }
    // LOA_Keys over the pingers' key files: read gets (nick, the progress text
    // naming the file, the file's bytes) and returns the rows it added.
    using ReadKeys = std::function<long(const std::string&, const std::string&, const std::string&)>;
    long loadKeys(const ReadKeys& read);
    bool addRow(const std::string& nick, std::string item, std::string address, std::string detail);

    WorkbenchCore& wb_;
    GridIndex recorded_;  // (nick, item) pairs already in KeysArray
};

using KeysWorkbench = Workbench<KeysProcedures>;

// The page of one key type from the finished grid. stamp: "YYYY/MM/DD HH:NN:SS" (GMT).
std::string KeysPage(const Table& pingers, const Table& pingeds, const Table& keys, const std::string& type,
                     const std::string& stamp);

}  // namespace parlux
