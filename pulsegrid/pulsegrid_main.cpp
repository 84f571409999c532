// Pulsegrid: the stats comparer.
#include "history/HistoryHook.h"
#include "pulsegrid/StatsComparer.h"
#include "workbench/gui/ComparerMain.h"

int main(int argc, char** argv) {
    parlux::history::HistoryHook history;
    return parlux::RunComparer<parlux::StatsProcedures>(argc, argv, &history);
}
