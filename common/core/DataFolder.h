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

}  // namespace parlux
