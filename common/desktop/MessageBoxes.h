#pragma once
// Message boxes: modal, critical icon, the application title as caption; when
// headless the text goes to stderr instead, as one line after the program's
// name, and nothing blocks.
#include <string_view>

#include "common/core/Sinks.h"

class QWidget;

namespace parlux {

class QtMessageSink final : public MessageSink {
public:
    explicit QtMessageSink(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    void critical(std::string_view text) override;
    bool interactive() const override;
    bool ask(std::string_view question) override;

private:
    QWidget* parent_;
};

}  // namespace parlux
