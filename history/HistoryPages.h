#pragma once
// The pages the history writes into the data folder, each kind declared once
// in HistoryPages.cpp: its file name, when it is written, whether Gridhub's
// View menu opens it, and its writer. NightRecorder writes them, Gridhub's
// View menu lists them and the manual pages name them: a new kind is one line
// there and its writer.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "history/PageSource.h"

namespace parlux::history {

// When a kind is written: after a run of a stats type, the page of that type;
// after every run, one page of the whole history, and one page for each
// remailer of Remailers.html (its index: a hundred of them are no menu).
enum class PageScope { PerStatsType, PerNight, PerRemailer };

using PageWriter = std::string (*)(PageSource&);
// Every page of a kind of many, handed over by file name.
using PagesWriter = void (*)(PageSource&, const std::function<void(std::string, std::string)>&, unsigned);

struct HistoryPageKind {
    // "Trend_<type>.html": the type's code stands for <type>;
    // "Remailer_<name>.html": the remailer's name as RemailerPageName writes it.
    std::string_view name;
    PageScope scope;
    bool inViewMenu;  // Gridhub's View menu opens it, by its path
    PageWriter write;
    PagesWriter writeEach = nullptr;  // PerRemailer (which must have one): all its pages at once

    // The file of a type ("Trend_PGP-1.html"), of a remailer
    // ("Remailer_dizum.html"), or of the night.
    std::string fileName(std::string_view subject = {}) const;
};

inline constexpr std::string_view kTypePlaceholder = "<type>";

// Every kind, in the order they are written and listed.
const std::vector<HistoryPageKind>& HistoryPageKinds();
// The kind of that name ("Changes.html"), nullptr for none.
const HistoryPageKind* PageKind(std::string_view name);

// The files the View menu lists, in the order of the kinds: a kind of a type
// once for each stats type.
std::vector<std::string> HistoryPageNames(const std::vector<HistoryPageKind>& kinds = HistoryPageKinds());

// Every page of the night (the kinds of the night, and of each remailer of
// Remailers.html) from the source, handed over by file name; the remailers'
// pages by several threads at once (EachRemailerPage).
void EachNightPage(PageSource& source, const std::function<void(std::string, std::string)>& take);

}  // namespace parlux::history
