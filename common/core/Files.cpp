#include "common/core/Files.h"

#include <system_error>

#include "common/core/WholeFile.h"

namespace parlux {

namespace fs = std::filesystem;

int CopyFilesOver(const fs::path& from, const fs::path& to, const std::vector<std::string>& names,
                  MessageSink& messages) {
    int copied = 0;
    for (const std::string& name : names) {
        const fs::path source = from / name;
        const fs::path target = to / name;
        std::error_code ec;
        if (!fs::is_regular_file(source, ec)) {
            messages.critical(source.string() + " Not found");
            continue;
        }
        try {
            ReplaceWholeFile(target, ReadWholeFile(source));
            ++copied;
        } catch (const fs::filesystem_error& e) {
            messages.critical(source.string() + " cannot be copied to " + target.string() + ": " + e.code().message());
        }
    }
    return copied;
}

void DeleteIfExists(const fs::path& path) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    if (ec || !fs::exists(status) || fs::is_directory(status)) return;
    fs::remove(path, ec);
}

}  // namespace parlux
