#pragma once
// A message's text as a message box lays it out: a Windows path in it breaks after a backslash and
// never inside a name such as "MSSQL.1"; what the user copies from the box is the text itself.
#include <QString>

namespace vandrel::app {

// Text with a zero-width break after each backslash and a word joiner after each "." inside a word;
// the characters added are taken out again by PlainMessageText.
QString WrappableMessageText(const QString& Text);
QString PlainMessageText(const QString& Shown);

}  // namespace vandrel::app
