#pragma once
// Table dumps: one line per row, cells comma-separated, texts in double quotes,
// never-written cells as nothing, date cells as #yyyy-mm-dd hh:mm:ss#, CR LF.
#include <filesystem>
#include <string>

#include "common/core/Table.h"

namespace parlux {

// "DMP-" + letter + "_" + table name + ".tmp", e.g. DMP-S_PingersArray.tmp.
std::string DumpFileName(char letter, const std::string& tableName);

// Writes columns 0..columns-1 of every row; returns the rows written, 0 (and no
// file) when the table is not loaded.
int SaveDump(const Table& table, int columns, const std::filesystem::path& path);

// Reads the file back into table (columns fields per row); returns the rows
// read. An empty file leaves the table not loaded. The caller checks existence.
int RestoreDump(Table& table, int columns, const std::filesystem::path& path);

}  // namespace parlux
