#pragma once
// Many pages of one folder rewritten run after run, each as whole for a
// reader as with ReplaceWholeFile, without a file made and one deleted for
// each page: the new text is written over a copy kept in the folder's hidden
// subfolder (kShelfName) and then exchanged with the page in one step, so
// that the page's old text is the next run's copy. On a large site (some
// thousands of pages) making and deleting the files took the night seconds;
// writing over the copies takes it a tenth of one.
//
// A reader that still holds a page's old text when the next run writes over
// it (seconds later) may see that text change; one that opens the page sees
// either whole text.
//
// Where the subfolder cannot be used (a link, another user's, one that others
// may write, a file system without the exchange), or a page is not a regular
// file, the page is replaced as ReplaceWholeFile does. One program at a time
// uses a folder's shelf; another waits for it at most kShelfWait, then
// replaces its pages the usual way.
#include <chrono>
#include <filesystem>
#include <string>

namespace parlux {

inline constexpr const char* kShelfName = ".parlux-pages";
inline constexpr std::chrono::milliseconds kShelfWait{30000};

class PageShelf {
public:
    explicit PageShelf(std::filesystem::path folder, std::chrono::milliseconds wait = kShelfWait);
    ~PageShelf();
    PageShelf(const PageShelf&) = delete;
    PageShelf& operator=(const PageShelf&) = delete;

    // The page name (no folder) of the folder replaced with content. Throws
    // std::filesystem::filesystem_error; the page is then as it was.
    void replace(const std::string& name, const std::string& content);
    // Whether the pages go through the shelf (false: the usual way).
    bool shelved() const { return shelf_ >= 0; }

private:
    void openShelf(std::chrono::milliseconds wait);
    int openCopy(const std::string& name) const;
    // False when the page must be replaced the usual way.
    bool exchange(const std::string& name, const std::string& content);

    std::filesystem::path folder_;
    int folderFd_ = -1, shelf_ = -1;
    unsigned owner_ = 0;  // who owns the shelf and its copies
};

}  // namespace parlux
