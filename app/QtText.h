#pragma once
// A UTF-8 text of the tool as Qt shows it: the short form the command families write.
#include <QString>
#include <string>

namespace vandrel::app {

inline QString Q(const std::string& Text) { return QString::fromStdString(Text); }

}  // namespace vandrel::app
