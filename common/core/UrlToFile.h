#pragma once
// HTTP download to a file or a text.
#include <cstdint>
#include <filesystem>
#include <string>

#include "common/core/Sinks.h"
#include "common/core/Transfers.h"

namespace parlux {

// Fetches url into path and returns the bytes written. The old copy is replaced
// only by a complete transfer with a success status; otherwise it stays as it
// was and 0 is returned (when there was none, none is made).
std::int32_t UrlToFile(const std::string& url, const std::filesystem::path& path);

// The body as text, an error page included; "" when the transfer failed.
std::string UrlToText(const std::string& url);

}  // namespace parlux
