// Lockgrid: the keys comparer.
#include "lockgrid/KeysComparer.h"
#include "workbench/gui/ComparerMain.h"

int main(int argc, char** argv) { return parlux::RunComparer<parlux::KeysProcedures>(argc, argv); }
