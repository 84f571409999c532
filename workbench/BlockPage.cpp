#include "workbench/BlockPage.h"

#include "common/core/Table.h"
#include "common/core/TextFields.h"

namespace parlux {

std::string BlockPage(const std::string& title, const Table& pingers, const Table& pingeds, const Table& main,
                      const GridColumns& grid, const BlockFields& fields) {
    const std::string crlf = "\r\n";
    const std::string indent(9, ' ');
    const int width = fields.addressWidth + 1 + fields.detailWidth;
    const std::string rule = indent + "|" + std::string(static_cast<std::size_t>(width), '-') + "|" + crlf;

    std::string out = title + crlf + crlf;
    const GridIndex index(main, grid.nick, grid.name);
    for (int j = 0; j < pingeds.rowCount(); ++j) {
        const std::string& item = pingeds.text(0, j);
        out += indent + "|" + PadField(item, width) + "|" + crlf;
        out += rule;
        for (int i = 0; i < pingers.rowCount(); ++i) {
            const std::string& nick = pingers.text(grid.pingerNick, i);
            const int row = index.find(nick, item);
            const std::string address = row >= 0 ? main.text(fields.address, row) : std::string();
            const std::string detail = row >= 0 ? main.text(fields.detail, row) : std::string();
            out += PadField(nick, 9) + "|" + PadField("<" + address + ">", fields.addressWidth) + "-" +
                   PadField(detail, fields.detailWidth) + "|" + crlf;
        }
        out += crlf;
    }
    return out;
}

}  // namespace parlux
