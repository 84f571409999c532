#include "common/core/DumpFile.h"

#include <stdexcept>

#include "common/core/FieldScan.h"
#include "common/core/WholeFile.h"

namespace parlux {

std::string DumpFileName(char letter, const std::string& tableName) {
    return std::string("DMP-") + letter + "_" + tableName + ".tmp";
}

int SaveDump(const Table& table, int columns, const std::filesystem::path& path) {
    if (!table.loaded()) return 0;
    if (columns < 1 || columns > table.columns()) throw std::out_of_range("SaveDump: the table has no such columns");

    std::string content;
    for (int row = 0; row < table.rowCount(); ++row) {
        for (int column = 0; column < columns; ++column) {
            if (column > 0) content += ',';
            const Cell& cell = table.cell(column, row);
            switch (cell.kind) {
                case Cell::Kind::Empty:
                    break;
                case Cell::Kind::Text:
                    content += '"';
                    content += cell.text;  // written as it is, quotes included
                    content += '"';
                    break;
                case Cell::Kind::Date:
                    content += FormatLogDate(cell.date);
                    break;
            }
        }
        content += "\r\n";
    }
    ReplaceWholeFile(path, content);
    return table.rowCount();
}

namespace {

Cell CellFromField(std::string& field, bool quoted) {
    if (quoted) return Cell::FromText(std::move(field));
    if (field.empty()) return Cell{};
    if (field[0] == '#') {
        DateTime date;
        if (ParseLogDate(field, date)) return Cell::FromDate(date);
    }
    return Cell::FromText(std::move(field));
}

}  // namespace

int RestoreDump(Table& table, int columns, const std::filesystem::path& path) {
    if (columns < 1) throw std::invalid_argument("RestoreDump: a table needs at least one column");
    table.reset();
    const std::string content = ReadWholeFile(path);

    // Empty lines are rows here: a one-column row whose cell was never
    // written is saved as an empty line.
    constexpr bool kSkipEmptyLines = false;
    std::size_t pos = 0;
    std::string field;
    int rows = 0;
    while (!NoFieldLeft(content, pos, kSkipEmptyLines)) {
        table.addRow(columns);  // the table was reset above: the first row creates it
        for (int column = 0; column < columns; ++column) {
            bool quoted = false;
            if (!ScanField(content, pos, kSkipEmptyLines, field, &quoted))
                break;  // the file ends inside the row: the rest stays never-written
            table.cell(column, rows) = CellFromField(field, quoted);
        }
        ++rows;
    }
    return rows;
}

}  // namespace parlux
