// Flaggrid: the capability-strings comparer.
#include "flaggrid/CapStringsComparer.h"
#include "workbench/gui/ComparerMain.h"

int main(int argc, char** argv) { return parlux::RunComparer<parlux::CapStringsProcedures>(argc, argv); }
