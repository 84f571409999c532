#pragma once
// Sandtest's window, frm_Sandtest: the two text-replacement routines side by
// side on the same input.
#include <QMainWindow>

namespace parlux {

class SandtestWindow final : public QMainWindow {
    Q_OBJECT
public:
    explicit SandtestWindow(QWidget* parent = nullptr);
    // cmd_GO: "Me:" gets ReplaceText, "Ori:" ReplaceTextCounted, both from
    // the first character on, every occurrence, matched exactly.
    void go();
};

}  // namespace parlux
