#include "workbench/PingerSteps.h"

#include <cstdint>
#include <unordered_set>

#include "core/Common.h"
#include "core/PingersList.h"
#include "core/UrlToFile.h"

namespace parlux {

bool DownloadPinger(WorkbenchCore& wb, const std::string& type, const std::string& nick, const std::string& url,
                    const std::filesystem::path& path) {
    wb.detail(nick + " " + type + " Downloading ");
    const std::int32_t bytes = UrlToFile(url, path);
    if (bytes == 0) return false;
    wb.detail(nick + " " + type + " Downloaded, " + std::to_string(bytes) + " Bytes");
    return true;
}

long LoadPingersStep(WorkbenchCore& wb, int columns) {
    Table& pingers = wb.table(kPingersTable);
    pingers.reset();
    const auto listPath = wb.dataPath("Pingers.lst");
    std::string failure;
    const auto list = ReadPingersList(listPath, &failure);
    if (!list) {
        wb.messages().critical(failure);
        return 0;
    }
    if (!list->warning.empty()) wb.detail(list->warning);

    std::unordered_set<std::string> seen;
    for (const auto& record : list->records) {
        if (record.type != wb.statsType()) continue;
        if (!UsableNick(record.nick)) {
            wb.detail(record.nick + " " + record.type + " skipped: the nick is not a usable file name");
            continue;
        }
        const auto path = wb.dataPath(StatsFileName(record.type, record.nick));
        DownloadPinger(wb, record.type, record.nick, record.url, path);
        std::error_code ec;
        if (!std::filesystem::exists(path, ec)) continue;
        if (!seen.insert(record.nick).second) continue;  // the first record of a nick wins
        const int row = pingers.addRow(columns);
        pingers.setText(kListNick, row, record.nick);
        pingers.setText(kListUrl, row, record.url);
    }
    return wb.count(kPingersTable);
}

long FixLineEndsStep(WorkbenchCore& wb) {
    if (wb.notLoaded(kPingersTable)) return 0;
    const Table& pingers = wb.table(kPingersTable);
    const std::string& type = wb.statsType();
    for (int r = 0; r < pingers.rowCount(); ++r) {
        const std::string nick = pingers.text(kListNick, r);
        const auto path = wb.dataPath(StatsFileName(type, nick));
        wb.detail(nick + " " + type + " being LfToCrLf 'ed");
        std::int32_t length = 0, firstLine = 0;
        try {
            LfToCrLf(path, length, firstLine, wb.messages());
        } catch (const std::filesystem::filesystem_error&) {
            wb.messages().critical(path.string() + " Not found");
        }
        wb.detail(nick + " " + type + " succesfully LfToCrLf 'ed " + std::to_string(length) + " " +
                  std::to_string(firstLine));
    }
    return pingers.rowCount();
}

}  // namespace parlux
