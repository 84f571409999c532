#include "common/core/Process.h"

#include <unistd.h>

#include <system_error>

namespace parlux {

std::string RTrimNull(std::string_view text) {
    const std::size_t nul = text.find('\0');
    if (nul != std::string_view::npos) return std::string(text.substr(0, nul));  // blanks before the NUL stay
    const std::size_t last = text.find_last_not_of(' ');
    return last == std::string_view::npos ? std::string() : std::string(text.substr(0, last + 1));
}

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;  // something (maybe only a pair of quotes) was seen
    bool inQuotes = false;
    for (char c : commandLine) {
        if (c == '"') {
            inQuotes = !inQuotes;
            inWord = true;
        } else if (!inQuotes && (c == ' ' || c == '\t')) {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(std::move(word));
    return words;
}

namespace {

bool Executable(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

bool EndsWithExe(const std::string& name) {
    if (name.size() <= 4) return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return tail == ".exe";
}

}  // namespace

std::filesystem::path SuiteProgramPath(const std::filesystem::path& folder, const std::string& fileName) {
    return folder / (EndsWithExe(fileName) ? fileName.substr(0, fileName.size() - 4) : fileName);
}

std::filesystem::path FindSuiteProgram(const std::filesystem::path& folder, const std::string& fileName) {
    if (Executable(folder / fileName)) return folder / fileName;
    const std::filesystem::path bare = SuiteProgramPath(folder, fileName);
    return Executable(bare) ? bare : std::filesystem::path();
}

}  // namespace parlux
