#include "app/MessageText.h"

namespace vandrel::app {
namespace {

const QChar kBreak(0x200B), kJoiner(0x2060);

}  // namespace

QString WrappableMessageText(const QString& Text) {
  // A path may hold blanks ("Program Files"), so a line may end after any backslash of the
  // text, and never after a "." inside a word ("MSSQL.1", "Sklep_Data.MDF", "1.97").
  QString shown;
  shown.reserve(Text.size() + Text.size() / 8);
  for (qsizetype i = 0; i < Text.size(); ++i) {
    shown += Text[i];
    if (Text[i] == '\\') shown += kBreak;
    if (Text[i] == '.' && i + 1 < Text.size() && !Text[i + 1].isSpace()) shown += kJoiner;
  }
  return shown;
}

QString PlainMessageText(const QString& Shown) {
  QString plain = Shown;
  plain.remove(kBreak);
  plain.remove(kJoiner);
  return plain;
}

}  // namespace vandrel::app
