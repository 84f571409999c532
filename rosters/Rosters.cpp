#include "rosters/Rosters.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ostream>
#include <unordered_map>
#include <unordered_set>

#include "common/core/DateTime.h"
#include "common/core/QuickSort.h"
#include "common/core/Sinks.h"
#include "common/core/SiteConfig.h"
#include "common/core/SitePage.h"
#include "common/core/StampDate.h"
#include "common/core/StatsTypes.h"
#include "common/core/Table.h"
#include "common/core/Transfers.h"
#include "common/core/WholeFile.h"

namespace parlux::rosters {

namespace fs = std::filesystem;

const std::vector<std::string_view> kColumnTypes = [] {
    std::vector<std::string_view> types = TypeCodes(false);
    for (const std::string_view code : TypeCodesByNetwork(true)) types.push_back(code);
    return types;
}();

int LinkColumn(std::string_view type) {
    for (std::size_t c = 0; c < kColumnTypes.size(); ++c)
        if (kColumnTypes[c] == type) return static_cast<int>(c) + 1;
    return 0;
}

bool FindInColumn(const Table& table, int column, std::string_view value) {
    if (!table.loaded() || column < 0 || column >= table.columns()) return false;
    for (int row = 0; row < table.rowCount(); ++row)
        if (table.text(column, row) == value) return true;
    return false;
}

int PingersBad::LoadPingersBad(std::string_view content) {
    array_.reset();
    std::unordered_set<std::string> seen;
    FieldReader reader(WithoutByteOrderMark(content));
    std::string nick;
    while (reader.next(nick)) {
        if (!seen.insert(nick).second) continue;
        array_.setText(0, array_.addRow(1), nick);
    }
    return array_.loaded() ? array_.rowCount() : 0;
}

std::string UploadText(const HeaderAnswer& answer) {
    if (!answer.answered || !answer.lastModified || answer.lastModified->empty()) return std::string(kUnknownUpload);
    try {
        const DateTimeParts p = SplitDateTime(ParseStampDate(*answer.lastModified));
        char text[48];
        std::snprintf(text, sizeof text, "_%04d/%02d/%02d_%02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                      p.second);
        return text;
    } catch (const std::exception&) {
        return {};  // whatever a server sends, a header that is no date leaves the text empty
    }
}

namespace {

// Rows of the tables by nick, kept beside them while a list is read.
class RowsByNick {
public:
    // The row of the nick, adding one to every table when it is new (its nick
    // stored in column 0 of each).
    int rowOf(const std::string& nick, std::initializer_list<Table*> tables) {
        const auto [it, added] = rows_.try_emplace(nick, 0);
        if (added) {
            for (Table* table : tables) {
                it->second = table->addRow(kLinkColumns);
                table->setText(0, it->second, nick);
            }
        }
        return it->second;
    }

private:
    std::unordered_map<std::string, int> rows_;
};

}  // namespace

int LoadPingerLinks(const std::vector<PingerRecord>& records, Table& links) {
    links.reset();
    RowsByNick rows;
    for (const PingerRecord& record : records) {
        const int row = rows.rowOf(record.nick, {&links});
        if (const int column = LinkColumn(record.type)) links.setText(column, row, record.url);
    }
    return links.loaded() ? links.rowCount() : 0;
}

namespace {

// The records whose result is in, each shown once as it comes with the first
// one still awaited.
class TakenRecords {
public:
    TakenRecords(const std::vector<PingerRecord>& records, const std::vector<int>& rowsBefore, const Clock& clock,
                 const ProgressShow& show)
        : records_(records), rowsBefore_(rowsBefore), clock_(clock), show_(show), shown_(records.size(), false) {}

    void take(std::size_t i) {
        if (shown_[i]) return;
        shown_[i] = true;
        ++taken_;
        if (!show_) return;
        RecordProgress progress;
        progress.timeBeg = clock_.localNow();
        progress.nr = rowsBefore_[i];
        progress.record = &records_[i];
        progress.taken = taken_;
        progress.total = static_cast<int>(records_.size());
        while (firstAwaited_ < records_.size() && shown_[firstAwaited_]) ++firstAwaited_;
        if (firstAwaited_ < records_.size()) {
            progress.awaited = &records_[firstAwaited_];
            progress.awaitedNr = rowsBefore_[firstAwaited_];
        }
        show_(progress);
    }

private:
    const std::vector<PingerRecord>& records_;
    const std::vector<int>& rowsBefore_;
    const Clock& clock_;
    const ProgressShow& show_;
    std::vector<bool> shown_;
    std::size_t firstAwaited_ = 0;
    int taken_ = 0;
};

}  // namespace

int LoadPingersAndProbe(const std::vector<PingerRecord>& records, const HeaderProber& prober, const Clock& clock,
                        const ProgressShow& show, Table& links, Table& uploads) {
    links.reset();
    uploads.reset();

    // Every record of a known type is asked once; an empty URL cannot be asked
    // and counts as a failed request.
    constexpr std::size_t kNoRequest = static_cast<std::size_t>(-1);
    std::vector<std::string> urls;
    std::vector<std::size_t> recordOf;                           // per URL
    std::vector<std::size_t> urlOf(records.size(), kNoRequest);  // per record
    std::vector<int> rowsBefore(records.size(), 0);
    {
        std::unordered_set<std::string> nicks;
        for (std::size_t i = 0; i < records.size(); ++i) {
            rowsBefore[i] = static_cast<int>(nicks.size());
            nicks.insert(records[i].nick);
            if (LinkColumn(records[i].type) == 0 || records[i].url.empty()) continue;
            urlOf[i] = urls.size();
            recordOf.push_back(i);
            urls.push_back(records[i].url);
        }
    }

    TakenRecords taken(records, rowsBefore, clock, show);
    const auto take = [&taken](std::size_t i) { taken.take(i); };
    for (std::size_t i = 0; i < records.size(); ++i)
        if (urlOf[i] == kNoRequest) take(i);
    std::vector<HeaderAnswer> answers;
    if (!urls.empty() && prober) {
        answers = prober(urls, [&](std::size_t k, const HeaderAnswer&) {
            if (k < recordOf.size()) take(recordOf[k]);
        });
    }
    answers.resize(urls.size());
    for (std::size_t i = 0; i < records.size(); ++i) take(i);  // those the prober did not tell of

    RowsByNick rows;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const PingerRecord& record = records[i];
        const int row = rows.rowOf(record.nick, {&links, &uploads});
        const int column = LinkColumn(record.type);
        if (column == 0) continue;
        links.setText(column, row, record.url);
        uploads.setText(column, row,
                        urlOf[i] == kNoRequest ? std::string(kUnknownUpload) : UploadText(answers[urlOf[i]]));
    }
    return links.loaded() ? links.rowCount() : 0;
}

std::string ClockTime(DateTime value) {
    const DateTimeParts p = SplitDateTime(value);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", p.hour, p.minute, p.second);
    return text;
}

std::string GeneratedStamp(DateTime value) {
    static constexpr std::array<std::string_view, 7> kWeekdays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                                  "Thursday", "Friday", "Saturday"};
    const std::chrono::weekday day{std::chrono::floor<std::chrono::days>(value)};
    return std::string(kWeekdays[day.c_encoding()]) + " " + FormatStamp(value);
}

namespace {

class PageText {
public:
    PageText& operator<<(std::string_view piece) {
        text_ += piece;
        return *this;
    }
    // Ends the line.
    void end() { text_ += "\r\n"; }
    void line(std::string_view whole) {
        text_ += whole;
        end();
    }
    std::string take() { return std::move(text_); }

private:
    std::string text_;
};

void HeaderCell(PageText& page, std::string_view opening, std::string_view label) {
    page << opening << "<strong><font color=\"#FF0000\">" << label << "</font></strong></td>";
    page.end();
}

void HeaderRows(PageText& page) {
    constexpr std::string_view kNick = "    <td width=\"20%\" height=\"60\" rowspan=\"3\">";
    constexpr std::string_view kGroup = "    <td width=\"40%\" height=\"20\" colspan=\"4\" align=\"center\">";
    constexpr std::string_view kPair = "    <td width=\"20%\" height=\"20\" align=\"center\" colspan=\"2\">";
    constexpr std::string_view kKind = "    <td width=\"10%\" height=\"20\" align=\"center\">";

    page.line("  <tr>");
    HeaderCell(page, kNick, "Pingers");
    HeaderCell(page, kGroup, "Stats");
    HeaderCell(page, kGroup, "Keyrings");
    page.line("  </tr>");
    page.line("  <tr>");
    for (std::string_view label : {"V1", "V2", "PGP", "MIX"}) HeaderCell(page, kPair, label);
    page.line("  </tr>");
    page.line("  <tr>");
    for (std::string_view label : {"Cpunk", "Mix", "Cpunk", "Mix", "RSA", "RSA+DSS", ".lis", ".mix"})
        HeaderCell(page, kKind, label);
    page.line("  </tr>");
}

void BodyRow(PageText& page, const Table& links, const Table* uploads, int row, bool bad) {
    const std::string& nick = links.text(0, row);
    page.line("  <tr>");
    page << "    <td width=\"20%\" height=\"20\"><strong><font color=\"" << (bad ? "#FF0000" : "#0000FF") << "\">"
         << nick << "</font></strong></td>";
    page.end();
    for (int column = 1; column < kLinkColumns; ++column) {
        page << "     <td width=\"10%\" height=\"20\">";
        const std::string& url = links.text(column, row);
        if (url.empty()) {
            page << "&nbsp;";
        } else {
            page << "<a href=\"" << url << "\" TARGET=\"_blank\">X</a>";
            if (uploads)
                page << uploads->text(column, row);
            else
                page << "&nbsp;&nbsp;<a href=\"" << StatsFileName(kColumnTypes[column - 1], nick)
                     << "\" TARGET=\"_blank\">K</a>";
        }
        page << "</td>";
        page.end();
    }
    page.line("  </tr>");
}

}  // namespace

std::string PingersPage(const Table& links, const Table* uploads, const PingersBad& bad, DateTime localNow) {
    const std::string plainPage = site::Current().site + "/Parlux/Pingers.html";
    const std::string datesPage = site::Current().site + "/Parlux/PingersX.html";

    PageText page;
    page << site::PageHead("Comparison between Informations from different Remailer Pingers",
                           "Parlux, Stats, statistics, remailer, comparison, pingers, reliability, anonymous, nym, "
                           "mixmaster, PGP, MIX");
    if (!uploads) {
        page.line("<h3 align=\"left\"><font color=\"#008000\">List of Referenced Pingers, with LINKS.</font></h3>");
        page << "<font color=\"#FF00FF\">Cached Data only available at <a href=\"" << plainPage << "\"> " << plainPage
             << " </a> i.e. NOT on mirrors.</font><br>";
        page.end();
        page << "<font color=\"#FF00FF\"><a href=\"" << datesPage
             << "\">List of Referenced Pingers, with LINKS + Date/Time Last_Upload at Pinger's WWW.</a></font><br>";
        page.end();
    } else {
        page.line(
            "<h3 align=\"left\"><font color=\"#008000\">List of Referenced Pingers, with LINKS + Date/Time "
            "Last_Upload at Pinger's WWW.</font></h3>");
        page.line(
            "<font color=\"#FF00FF\">Information about last Date/Time Last_Upload at Pinger's WWW not always "
            "available + not always accurate <br>");
        page.line("(Pinger may upload OLD files...).</font><br>");
        page << "<font color=\"#FF00FF\"><a href=\"" << plainPage
             << "\">List of Referenced Pingers, with LINKS.</a></font><br>";
        page.end();
    }
    page << site::MailNotice() << site::TableStart();
    HeaderRows(page);
    if (links.loaded())
        for (int row = 0; row < links.rowCount(); ++row)
            BodyRow(page, links, uploads, row, bad.IsPingerBad(links.text(0, row)));
    page.line("</table>");
    page.line("</div>");
    page << "<p><strong><em><u><big><font color=\"FF8000\">Generated: " << GeneratedStamp(localNow)
         << "</font></big></u></em></strong><br>";
    page.end();
    page << site::PageFoot();
    return page.take();
}

namespace {

// The steps both programs share around their own loading: the lists read,
// the rows checked and sorted, the page written.
class PageRun {
public:
    PageRun(const fs::path& dataFolder, std::string_view pageName, MessageSink& messages, std::ostream& notes)
        : folder_(dataFolder), page_(pageName), messages_(messages), notes_(notes) {}

    // Reads PingersBad.lst, then Pingers.lst. False (after a message) when
    // either cannot be read.
    bool readLists(PingersBad& bad, std::vector<PingerRecord>& records) {
        // What a killed run of this program left behind, before anything else.
        RemoveStaleScratchFiles(folder_);
        std::string badText, listText;
        if (!read("PingersBad.lst", badText) || !read("Pingers.lst", listText)) return false;
        bad.LoadPingersBad(badText);
        PingersList list = ParsePingersList(listText);
        if (!list.warning.empty()) notes_ << list.warning << std::endl;
        records = std::move(list.records);
        return true;
    }

    // False (after a message) when the list gave no row.
    bool haveRows(const Table& links) {
        if (links.loaded()) return true;
        fail((folder_ / "Pingers.lst").string() + " holds no pinger record: " + page_ + " not written");
        return false;
    }

    bool write(const std::string& content) {
        try {
            ReplaceWholeFile(folder_ / page_, content);
            return true;
        } catch (const fs::filesystem_error& e) {
            fail("Cannot write " + (folder_ / page_).string() + " (" + e.code().message() + ")");
            return false;
        }
    }

private:
    bool read(std::string_view name, std::string& content) {
        const fs::path path = folder_ / std::string(name);
        try {
            content = ReadWholeFile(path);
            return true;
        } catch (const fs::filesystem_error& e) {
            fail("Cannot read " + path.string() + " (" + e.code().message() + "): " + page_ + " not written");
            return false;
        }
    }

    void fail(const std::string& text) { messages_.critical(text); }

    fs::path folder_;
    std::string page_;
    MessageSink& messages_;
    std::ostream& notes_;
};

}  // namespace

int RunRosterbase(const fs::path& dataFolder, const Clock& clock, MessageSink& messages, std::ostream& notes) {
    PageRun run(dataFolder, "Pingers.html", messages, notes);
    PingersBad bad;
    std::vector<PingerRecord> records;
    if (!run.readLists(bad, records)) return 1;
    Table links;
    LoadPingerLinks(records, links);
    if (!run.haveRows(links)) return 1;
    QuickSort(links, 0, 0, links.upperRow());
    return run.write(PingersPage(links, nullptr, bad, clock.localNow())) ? 0 : 1;
}

int RunRostermark(const fs::path& dataFolder, const Clock& clock, MessageSink& messages, std::ostream& notes,
                  const HeaderProber& prober, const ProgressShow& show) {
    PageRun run(dataFolder, "PingersX.html", messages, notes);
    PingersBad bad;
    std::vector<PingerRecord> records;
    if (!run.readLists(bad, records)) return 1;
    Table links, uploads;
    std::size_t asked = 0, answered = 0;
    const HeaderProber counting = [&](const std::vector<std::string>& urls, const AnswerTaken& taken) {
        auto answers = prober(urls, taken);
        asked += urls.size();
        answered += static_cast<std::size_t>(
            std::count_if(answers.begin(), answers.end(), [](const HeaderAnswer& a) { return a.answered; }));
        return answers;
    };
    LoadPingersAndProbe(records, counting, clock, show, links, uploads);
    if (!run.haveRows(links)) return 1;
    // Both tables hold the same nick in every row, and the sort's moves depend
    // on the key column alone: the rows stay paired.
    QuickSort(links, 0, 0, links.upperRow());
    QuickSort(uploads, 0, 0, uploads.upperRow());
    if (!run.write(PingersPage(links, &uploads, bad, clock.localNow()))) return 1;
    if (asked == 0 || answered != 0) return 0;
    // A page of question marks only: the night did not reach the pingers.
    messages.critical("no pinger's web server answered: PingersX.html written without any upload date");
    return 1;
}

}  // namespace parlux::rosters
