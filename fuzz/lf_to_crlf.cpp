// A downloaded file of any bytes through the line-end repair: a text file
// whose first line (up to the first CR) is longer than 200 characters comes
// out with every LF after a CR and nothing else changed; any other file (a
// short first line, or a key file with a NUL byte: a binary keyring) stays as
// it was. Odd-sized inputs are taken as key files, even-sized as pages.
#include <cstdint>
#include <string>

#include "common/core/LfToCrLf.h"
#include "common/core/UrlToFile.h"
#include "fuzz/FuzzSupport.h"

namespace {

std::string WithLfEnds(const std::string& text) {
    std::string out;
    for (std::size_t k = 0; k < text.size(); ++k)
        if (!(text[k] == '\r' && k + 1 < text.size() && text[k + 1] == '\n')) out += text[k];
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace parlux;
    struct Quiet final : MessageSink {
        void critical(std::string_view) override {}
    } messages;
    const std::string before(reinterpret_cast<const char*>(data), size);
    const auto path = fuzz::WriteScratch("fz_rlist.shtml", data, size);
    std::int32_t length = -1, firstLine = -1;
    const bool keyFile = size % 2 == 1;
    LfToCrLf(path, length, firstLine, messages, keyFile);
    const std::string after = fuzz::ReadScratch(path);

    fuzz::Require(length == static_cast<std::int32_t>(size), "the length reported is not the file's");
    const std::size_t cr = before.find('\r');
    fuzz::Require(firstLine == static_cast<std::int32_t>(cr == std::string::npos ? size : cr),
                  "the first line reported is not the file's");
    if (firstLine <= 200 || (keyFile && before.find('\0') != std::string::npos)) {
        fuzz::Require(after == before, "a binary file or one with a short first line was changed");
        return 0;
    }
    // Every LF now follows a CR, and with CR LF read as LF both texts are the same.
    for (std::size_t k = 0; k < after.size(); ++k)
        if (after[k] == '\n') fuzz::Require(k > 0 && after[k - 1] == '\r', "an LF is left alone");
    fuzz::Require(WithLfEnds(after) == WithLfEnds(before), "the repair changed more than line ends");
    return 0;
}
