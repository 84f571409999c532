#pragma once
// One running copy per program and user, and bringing a window to the front.
#include <QObject>
#include <QString>
#include <string>

class QWidget;
class QLocalServer;

namespace parlux {

// One running copy per program and user. The first copy listens on a local
// socket in PrivateRuntimeFolder(); a later copy asks it to come to the front
// and then ends. A socket whose other end belongs to another user is never
// obeyed: the copy takes the name over instead. Without a private folder the
// copy says so on stderr and runs unguarded.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& programName, QObject* parent = nullptr);
    ~SingleInstance() override;
    // True when another copy answered (it has been asked to activate its
    // window); false when this copy is now the one that listens.
    bool anotherIsRunning();
    // Restore, raise and activate this window when a later copy knocks.
    void setWindow(QWidget* window) { window_ = window; }
    // The socket's full path; empty without a private folder.
    QString serverName() const { return serverName_; }

signals:
    void activationRequested();

private:
    void onConnection();
    QString programName_;
    QString serverName_;
    std::string problem_;
    QLocalServer* server_ = nullptr;
    QWidget* window_ = nullptr;
};

// Called at start-up, before any file is touched: when another copy of this
// program runs, asks it to bring its window to the front (restored) and
// returns true, and this copy should end; otherwise this copy becomes the one
// that later copies wake.
inline bool ActivatePrevInstance(SingleInstance& instance) { return instance.anotherIsRunning(); }

// Brings a window to the front, restored if minimised.
void ActivateWindow(QWidget* window);

}  // namespace parlux
