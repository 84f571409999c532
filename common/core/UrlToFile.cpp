// Single downloads, as one-request runs of the concurrent transfers.
#include "common/core/UrlToFile.h"

#include "common/core/TextFields.h"

#include <algorithm>
#include <limits>

namespace parlux {

std::int32_t UrlToFile(const std::string& url, const std::filesystem::path& path) {
    const auto results = RunTransfers({TransferRequest{url, TransferMode::File, path}}, 1);
    const std::int64_t written = results.front().ok ? results.front().bytes : 0;
    return ClampToInt32(written);
}

std::string UrlToText(const std::string& url) {
    // The text is shown, not kept: an error page is returned like any body.
    bool complete = false;
    std::string text = FetchText(url, complete);
    return complete ? text : std::string();
}

}  // namespace parlux
