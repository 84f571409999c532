// A PGP key file as a pinger may serve it (armored blocks or a binary
// keyring): any bytes through the in-process key lister and the cutting of
// its lines into KeysArray cells.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "lockgrid/KeyLister.h"
#include "lockgrid/KeysComparer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace parlux;
    std::string error;
    const auto lines = ListPgpKeys(std::string_view(reinterpret_cast<const char*>(data), size), &error);
    for (const std::string& line : lines) {
        fuzz::Require(line.rfind("pub  ", 0) == 0, "a key line does not start with \"pub\"");
        fuzz::Require(line.find_first_of("\r\n") == std::string::npos, "a key line holds a line end");
        const PgpKeyCells cells = CutPgpKeyLine(line);
        fuzz::Require(cells.keyId.size() == 8, "a key line's key ID is not 8 characters");
        fuzz::Require(cells.detail.find('"') == std::string::npos, "a detail keeps a double quote");
    }
    return 0;
}
