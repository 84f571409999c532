// Lockgrid: the keys comparer.
#include "history/HistoryHook.h"
#include "lockgrid/KeysComparer.h"
#include "workbench/gui/ComparerMain.h"

int main(int argc, char** argv) {
    parlux::history::HistoryHook history;
    return parlux::RunComparer<parlux::KeysProcedures>(argc, argv, &history);
}
