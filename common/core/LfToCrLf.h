#pragma once
// The line-end repair of downloaded pinger files.
#include <cstdint>
#include <filesystem>

#include "common/core/Sinks.h"

namespace parlux {

// LfToCrLf read the file but could not write the repaired one back (disk
// full, read-only folder); the file is left as it was.
class LineEndRewriteError : public std::filesystem::filesystem_error {
public:
    using std::filesystem::filesystem_error::filesystem_error;
};

// Repairs a file whose lines end in LF alone: when the first line (up to the
// first CR) is longer than 200 characters, every lone LF becomes CR LF.
// fileLength and firstLineLength are those before the repair. A key file
// (keyFile) holding a NUL byte is a binary keyring and is left alone. An
// empty file shows its path through messages and is left alone. Throws
// std::filesystem::filesystem_error when the file cannot be opened, and
// LineEndRewriteError (one of those) when the repair cannot be written.
void LfToCrLf(const std::filesystem::path& path, std::int32_t& fileLength, std::int32_t& firstLineLength,
              MessageSink& messages, bool keyFile = false);

}  // namespace parlux
