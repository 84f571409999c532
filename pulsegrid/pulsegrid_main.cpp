// Pulsegrid: the stats comparer.
#include "pulsegrid/StatsComparer.h"
#include "workbench/gui/ComparerMain.h"

int main(int argc, char** argv) { return parlux::RunComparer<parlux::StatsProcedures>(argc, argv); }
