#include "common/desktop/Keyboard.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QShortcut>
#include <QVariantMap>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/core/AccessKeys.h"

namespace parlux {

namespace {

constexpr const char* kPlainProperty = "parluxPlainCaption";
constexpr const char* kKeyedProperty = "parluxKeyedCaption";
constexpr const char* kWantedProperty = "parluxWantedKeys";
constexpr const char* kKeysInOrderProperty = "parluxKeysInOrder";

// The caption of an object as it was before a key was given to it: the one
// remembered when the text is still the keyed one, else the text itself.
QString PlainOf(const QObject& object, const QString& text) {
    if (object.property(kKeyedProperty).toString() == text && !text.isEmpty())
        return object.property(kPlainProperty).toString();
    return text;
}

// One caption that takes part in a scope: how to read and set it.
struct Keyed {
    QObject* object;
    QString plain;
    std::function<void(const QString&)> set;
};

void GiveKeys(std::vector<Keyed>& scope, std::size_t fixed = 0, const QVariantMap& wanted = {}) {
    std::vector<std::string> captions;
    std::vector<char> wantedKeys;
    captions.reserve(scope.size());
    for (const Keyed& k : scope) {
        captions.push_back(k.plain.toStdString());
        const QString key = wanted.value(k.plain).toString();
        wantedKeys.push_back(key.isEmpty() ? '\0' : key[0].toLatin1());
    }
    const std::vector<int> keys = ChooseAccessKeys(captions, fixed, wantedKeys);
    for (std::size_t i = 0; i < scope.size(); ++i) {
        // Positions are in UTF-8 bytes; the captions are ASCII but for paths.
        const std::string& caption = captions[i];
        const int at = keys[i] < 0 ? -1 : QString::fromStdString(caption.substr(0, keys[i])).size();
        const QString keyed = KeyedCaption(scope[i].plain, at);
        scope[i].object->setProperty(kPlainProperty, scope[i].plain);
        scope[i].object->setProperty(kKeyedProperty, keyed);
        scope[i].set(keyed);
    }
}

void KeyMenuEntries(QMenu* menu) {
    std::vector<Keyed> entries;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator()) continue;
        if (QMenu* sub = action->menu()) KeyMenuEntries(sub);
        entries.push_back(
            {action, PlainOf(*action, action->text()), [action](const QString& t) { action->setText(t); }});
    }
    GiveKeys(entries, menu->property(kKeysInOrderProperty).toBool() ? entries.size() : 0);
}

}  // namespace

void KeepMenuKeysInOrder(QObject* menu) { menu->setProperty(kKeysInOrderProperty, true); }

namespace {

// Enter and Return on a focused button press it, as Space does. A button
// pressed by its access key takes the focus first, as a click or Space leaves
// it there: the action gives it back to that button at its end.
class EnterPresses final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Shortcut) {
            auto* button = qobject_cast<QAbstractButton*>(watched);
            if (button && button->isEnabled() && button->focusPolicy() & Qt::TabFocus)
                button->setFocus(Qt::ShortcutFocusReason);
            return false;
        }
        if (event->type() != QEvent::KeyPress) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
        if (key->modifiers() & ~Qt::KeypadModifier) return false;
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (!button || !button->isEnabled()) return false;
        button->click();
        return true;
    }
};

// Draws a frame in the highlight colour around a focused picture box.
class FocusFrame final : public QObject {
public:
    explicit FocusFrame(QFrame* frame)
        : QObject(frame), shape_(frame->frameShape()), shadow_(frame->frameShadow()), width_(frame->lineWidth()) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // A widget being destroyed hands its focus on from ~QWidget, when it
        // is a QFrame no more: nothing to redraw then.
        auto* frame = qobject_cast<QFrame*>(watched);
        if (!frame) return false;
        if (event->type() == QEvent::FocusIn) {
            QPalette palette = frame->palette();
            palette.setColor(QPalette::WindowText, palette.color(QPalette::Highlight));
            frame->setPalette(palette);
            frame->setFrameStyle(QFrame::Box | QFrame::Plain);
            frame->setLineWidth(2);
        } else if (event->type() == QEvent::FocusOut) {
            frame->setPalette(QPalette());
            frame->setFrameShape(shape_);
            frame->setFrameShadow(shadow_);
            frame->setLineWidth(width_);
        }
        return false;
    }

private:
    QFrame::Shape shape_;
    QFrame::Shadow shadow_;
    int width_;
};

}  // namespace

QString PlainCaption(const QString& caption) {
    QString plain;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] != u'&') {
            plain += caption[i];
        } else if (i + 1 < caption.size() && caption[i + 1] == u'&') {
            plain += u'&';
            ++i;
        }  // else the mark of the access key: the next character is the key
    }
    return plain;
}

QString KeyedCaption(const QString& plain, int at) {
    QString keyed;
    for (qsizetype i = 0; i < plain.size(); ++i) {
        if (i == at) keyed += u'&';
        keyed += plain[i];
        if (plain[i] == u'&') keyed += u'&';
    }
    return keyed;
}

void GiveAccessKeys(QWidget* window) {
    std::vector<Keyed> scope;
    // (A window without a menu bar is not given one.)
    if (auto* bar = qobject_cast<QMenuBar*>(window->findChild<QMenuBar*>())) {
        for (QAction* action : bar->actions()) {
            QMenu* menu = action->menu();
            if (!menu) continue;
            scope.push_back(
                {action, PlainOf(*action, action->text()), [menu](const QString& t) { menu->setTitle(t); }});
            KeyMenuEntries(menu);
        }
    }
    const std::size_t menus = scope.size();
    // The buttons in the order Tab reaches them, then the labels that lead
    // to a box; a caption that several buttons share (which of them would a
    // key press?) only takes a key that is left over.
    std::vector<Keyed> controls, repeated;
    std::map<QString, int> uses;
    for (QWidget* w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain()) {
        auto* button = qobject_cast<QAbstractButton*>(w);
        if (!button || !window->isAncestorOf(button)) continue;
        const QString plain = PlainOf(*button, button->text());
        // A box too narrow for its caption shows none, nor would its key.
        if (button->fontMetrics().horizontalAdvance(plain) > button->maximumWidth()) continue;
        ++uses[plain];
        controls.push_back({button, plain, [button](const QString& t) { button->setText(t); }});
    }
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->buddy() || label->text().isEmpty()) continue;
        controls.push_back({label, PlainOf(*label, label->text()), [label](const QString& t) { label->setText(t); }});
    }
    for (Keyed& control : controls) (uses[control.plain] > 1 ? repeated : scope).push_back(std::move(control));
    scope.insert(scope.end(), repeated.begin(), repeated.end());
    GiveKeys(scope, menus, window->property(kWantedProperty).toMap());
}

void DriveByKeyboard(QMainWindow* window, const WantedKeys& wanted) {
    QVariantMap keys;
    for (const auto& [caption, key] : wanted) keys.insert(caption, QString(QChar::fromLatin1(key)));
    window->setProperty(kWantedProperty, keys);
    GiveAccessKeys(window);
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), window);
    QObject::connect(f10, &QShortcut::activated, window, [window] {
        auto* bar = qobject_cast<QMenuBar*>(window->menuWidget());
        if (!bar) return;
        for (QAction* action : bar->actions()) {
            if (action->isVisible() && action->isEnabled()) {
                bar->setActiveAction(action);
                return;
            }
        }
    });
    auto* enter = new EnterPresses(window);
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) button->installEventFilter(enter);
}

void ShowFocusAsFrame(QFrame* frame) {
    frame->installEventFilter(new FocusFrame(frame));
    frame->setProperty("parluxShowsFocus", true);
}

FocusReturn::FocusReturn(QWidget* window) {
    QWidget* focus = QApplication::focusWidget();
    if (focus && window && (focus == window || window->isAncestorOf(focus))) focus_ = focus;
}

FocusReturn::~FocusReturn() {
    if (focus_ && focus_->isEnabled() && focus_->isVisible() && QApplication::focusWidget() != focus_)
        focus_->setFocus(Qt::OtherFocusReason);
}

}  // namespace parlux
