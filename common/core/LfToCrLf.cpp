#include <limits>

#include "common/core/LfToCrLf.h"
#include "common/core/TextFields.h"
#include "common/core/WholeFile.h"

namespace parlux {

namespace {

constexpr std::size_t kLongFirstLine = 200;

}  // namespace

void LfToCrLf(const std::filesystem::path& path, std::int32_t& fileLength, std::int32_t& firstLineLength,
              MessageSink& messages, bool keyFile) {
    fileLength = 0;
    firstLineLength = 0;
    const std::string content = ReadWholeFile(path);  // throws when missing
    if (content.empty()) {
        messages.critical(path.string());
        return;
    }
    // The first line runs up to the first CR; a file of LF-only lines is one line.
    const std::size_t firstCr = content.find('\r');
    const std::size_t firstLine = firstCr == std::string::npos ? content.size() : firstCr;
    fileLength = ClampToInt32(content.size());
    firstLineLength = ClampToInt32(firstLine);
    if (firstLine <= kLongFirstLine) return;
    // In a key file a NUL byte marks a binary keyring, whose LF bytes are
    // data. A text page holding one is still a text page.
    if (keyFile && content.find('\0') != std::string::npos) return;

    // Every LF not already preceded by CR gets one, throughout the file, so
    // that a long first line followed by CR LF lines keeps all its lines.
    std::string repaired;
    repaired.reserve(content.size() + content.size() / 16);
    bool changed = false;
    for (std::size_t k = 0; k < content.size(); ++k) {
        if (content[k] == '\n' && (k == 0 || content[k - 1] != '\r')) {
            repaired += '\r';
            changed = true;
        }
        repaired += content[k];
    }
    if (!changed) return;
    try {
        ReplaceWholeFile(path, repaired);
    } catch (const std::filesystem::filesystem_error& e) {
        throw LineEndRewriteError("cannot rewrite file", path, e.code());
    }
}

}  // namespace parlux
