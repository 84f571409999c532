#pragma once
// Where the suite keeps its files: the data folder and the program folder.
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace parlux {

// The data folder: $PARLUX_DATA when set and not empty, else the built-in
// default, Parlux in the home folder: $HOME, or when that is not set the
// user's entry in the password database. Throws DataFolderError when there is
// no home folder at all.
std::filesystem::path DataFolder();
std::filesystem::path DefaultDataFolder();

class DataFolderError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// DataFolder() / name.
std::filesystem::path DataPath(std::string_view name);

// The folder of the running executable, and its file name without extension.
std::filesystem::path ProgramFolder();
std::string ProgramName();

// A folder of the user's own: $<xdgVariable> when it is an absolute path,
// else the home folder ($HOME, or the password database's entry) followed by
// underHome; empty without a home. Empty too when the folder (or, while it is
// not there, the nearest folder above it that is) belongs to another user:
// root with a user's HOME (su without "-") must neither create folders there
// nor write through the user's links. That is said once on stderr.
std::filesystem::path UserFolder(const char* xdgVariable, const char* underHome);
// Whether a path, or while it is not there the nearest existing folder above
// it, belongs to the running user (getuid()).
bool BelongsToRunningUser(const std::filesystem::path& path);

// Whether a program folder is the user's own to write in: a build tree of
// theirs. Not so when another user owns it, when it cannot be written, when
// it lies among the system's programs (/usr, /bin, /opt ..., also for root,
// who owns those) or beside an installed suite's documentation
// (../share/doc/parlux).
bool ProgramFolderIsOwn(const std::filesystem::path& folder);

// The "Me" folder: the hand-kept master copies (Pingers.lst, PingersBad.lst,
// index.html, the saved searches) that the View entries without a folder
// open and the copy buttons copy to the data folder. The program folder when
// it is the user's own; for an installed suite $XDG_CONFIG_HOME/parlux (or
// ~/.config/parlux), made on first use with a Pingers.lst that explains the
// format in comments. Without a config folder of the user's own (UserFolder)
// the program folder: read only, never written.
std::filesystem::path MeFolder();
std::filesystem::path MeFolder(const std::filesystem::path& programFolder);
// The comments of a new "Me" folder's Pingers.lst.
extern const char* const kPingersListTemplate;

}  // namespace parlux
