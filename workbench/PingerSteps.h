#pragma once
// The first two actions of a downloading comparer, the same for the stats and
// the key files: LOA_Pingers reads Pingers.lst, downloads each pinger's file
// of the chosen type into the data folder and fills PingersArray (nick, URL,
// and empty further columns); FIX_LfToCrLf repairs the line ends of the
// downloaded files.
#include <filesystem>
#include <functional>
#include <string>

#include "common/core/PingersList.h"
#include "workbench/Workbench.h"

namespace parlux {

// PingersArray columns shared by the downloading comparers.
enum PingerListColumn : int { kListNick = 0, kListUrl = 1 };

// One pinger file; true when bytes arrived.
bool DownloadPinger(WorkbenchCore& wb, const std::string& type, const std::string& nick, const std::string& url,
                    const std::filesystem::path& path);

// What a comparer says of the list it read: the record it ended inside (a
// detail line), and a list without a record (for the run's summary).
void NoteListAsRead(WorkbenchCore& wb, const PingersList& list, const std::filesystem::path& path);

// LOA_Pingers: the pingers of the chosen type with their files downloaded;
// PingersArray gets `columns` columns. The result is the rows loaded.
long LoadPingersStep(WorkbenchCore& wb, int columns);

// FIX_LfToCrLf over the loaded pingers' files; the result is the rows walked.
long FixLineEndsStep(WorkbenchCore& wb);

// The download progress line made to fit where fits says it does not: the
// count stays whole, and names of pingers still waited for go from the
// middle of the list ("waiting for alpha, bravo, … foxtrot (3 more)").
std::string ShortenWaitingLine(const std::string& line, const std::function<bool(const std::string&)>& fits);

}  // namespace parlux
