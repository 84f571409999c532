#pragma once
// The core's texts in the windows: UTF-8 std::string to QString.
#include <QString>
#include <string>

namespace parlux {

inline QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace parlux
