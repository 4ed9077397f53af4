#include "app/ListActions.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include "app/DialogSeam.h"
#include "app/CommandContext.h"
#include "app/ListView.h"
#include "platform/base/RegionalSettings.h"

namespace vandrel::app {

void CopyListRows(TCommandContext& Context) {
  if (TListView* list = Context.DetailList()) list->CopyRows(false);
}

void CopyListRowsWithHeader(TCommandContext& Context) {
  if (TListView* list = Context.DetailList()) list->CopyRows(true);
}

void SaveListAsCsv(TCommandContext& Context) {
  if (TListView* list = Context.DetailList()) SaveListAsCsv(Context.DialogParent(), *list);
}

void SaveListAsCsv(QWidget* Parent, const TListView& List) {
  const QString caption = QStringLiteral("Zapisz jako CSV");
  QString file = DialogSeam::Current().SaveFileName(Parent, caption, QDir::homePath(),
                                                   QStringLiteral("Plik CSV (*.csv)|*.csv"));
  if (file.isEmpty()) return;
  // A spreadsheet opens the file by its extension; the chooser asked about the name typed, so
  // a file the extension makes it meet is asked about here.
  if (QFileInfo(file).suffix().isEmpty()) {
    file += QStringLiteral(".csv");
    if (QFileInfo::exists(file) &&
        !Confirm(Parent, QStringLiteral("Plik %1 już istnieje. Czy go zastąpić?").arg(file), caption))
      return;
  }
  // The regional settings' list separator (";" where the decimal separator is ","), and a
  // byte-order mark, without which Excel reads the UTF-8 text in the ANSI code page.
  const char separator = platform::RegionalSettings().ListSeparator;
  const std::string csv = "\xEF\xBB\xBF" + List.CsvText(separator);
  // Written whole or not at all: an existing file is replaced only by the complete list.
  QSaveFile out(file);
  if (!out.open(QIODevice::WriteOnly) || out.write(csv.data(), static_cast<qint64>(csv.size())) < 0 ||
      !out.commit()) {
    ShowMessage(Parent, QStringLiteral("Nie udało się zapisać pliku %1:\r\n%2").arg(file, out.errorString()), caption,
                MsgIcon::Error);
    return;
  }
  ShowMessage(Parent,
              QStringLiteral("Lista zapisana w pliku %1 (wierszy: %2, separator kolumn: \"%3\").")
                  .arg(file)
                  .arg(List.RowCount())
                  .arg(QChar::fromLatin1(separator)),
              caption, MsgIcon::Information);
}

}  // namespace vandrel::app
