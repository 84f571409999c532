// Flaggrid: the capability-strings comparer.
#include "flaggrid/CapStringsComparer.h"
#include "history/HistoryHook.h"
#include "workbench/gui/ComparerMain.h"

int main(int argc, char** argv) {
    parlux::history::HistoryHook history;
    return parlux::RunComparer<parlux::CapStringsProcedures>(argc, argv, &history);
}
