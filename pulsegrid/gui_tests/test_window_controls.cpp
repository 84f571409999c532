// Pulsegrid's window as a user finds it after start-up: its golden file.
#include "pulsegrid/gui_tests/WindowFixture.h"

namespace parlux::test {
namespace {

// Names, captions, tooltips and states of every widget and menu entry;
// PARLUX_UPDATE_GOLDEN=1 rewrites the file after a deliberate change.
TEST_F(WindowTest, WidgetTreeMatchesItsGoldenFile) {
    expectWidgetsGolden("pulsegrid/gui_tests/golden/frm_Pulsegrid.txt");
    // Idle after start-up: the first type chosen, nothing busy.
    EXPECT_EQ(core_->statsType(), "PGP-1");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace parlux::test
