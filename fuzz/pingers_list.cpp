// Pingers.lst as the maintainer may leave it: any bytes. The list reader and
// the field reader under it must end, and agree on the records.
#include <cstdint>
#include <string>

#include "common/core/PingersList.h"
#include "common/core/StatsTypes.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace parlux;
    const std::string content(reinterpret_cast<const char*>(data), size);
    const PingersList list = ParsePingersList(content);
    for (const PingerRecord& record : list.records) {
        // A usable nick names a file directly in the data folder, whatever the type.
        if (!UsableNick(record.nick)) continue;
        const std::string name = StatsFileName(record.type, record.nick);
        fuzz::Require(name.find('/') == std::string::npos, "a usable nick names a file in another folder");
    }

    // Every field but a last empty one takes at least one byte.
    FieldReader reader(content);
    std::string field;
    std::size_t fields = 0;
    while (reader.next(field)) fuzz::Require(++fields <= size + 1, "the field reader does not end");
    fuzz::Require(reader.atEnd(), "the field reader stopped before the end");
    fuzz::Require(list.records.size() == fields / 3, "the records are not the fields taken three by three");
    fuzz::Require(list.warning.empty() == (fields % 3 == 0), "a record cut short is not reported");

    // The same through the file reader.
    const auto path = fuzz::WriteScratch("Pingers.lst", data, size);
    const auto read = ReadPingersList(path);
    fuzz::Require(read && read->records == list.records, "the file reads otherwise than its text");
    return 0;
}
