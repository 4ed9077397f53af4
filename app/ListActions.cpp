#include "app/ListActions.h"

#include <QDir>
#include <QSaveFile>

#include "app/DialogSeam.h"
#include "app/MainWindow.h"
#include "platform/base/RegionalSettings.h"

namespace vandrel::app {

void CopyListRows(TForm1& Form) { Form.ListView1->CopyRows(false); }

void CopyListRowsWithHeader(TForm1& Form) { Form.ListView1->CopyRows(true); }

void SaveListAsCsv(TForm1& Form) { SaveListAsCsv(&Form, *Form.ListView1); }

void SaveListAsCsv(QWidget* Parent, const TListView& List) {
  const QString caption = QStringLiteral("Zapisz jako CSV");
  const QString file = DialogSeam::Current().SaveFileName(Parent, caption, QDir::homePath(),
                                                         QStringLiteral("Plik CSV (*.csv)|*.csv"));
  if (file.isEmpty()) return;
  const std::string csv = List.CsvText(platform::RegionalSettings().ListSeparator);
  // Written whole or not at all: an existing file is replaced only by the complete list.
  QSaveFile out(file);
  if (!out.open(QIODevice::WriteOnly) || out.write(csv.data(), static_cast<qint64>(csv.size())) < 0 ||
      !out.commit()) {
    ShowMessage(Parent, QStringLiteral("Nie udało się zapisać pliku %1:\r\n%2").arg(file, out.errorString()), caption,
                MsgIcon::Error);
    return;
  }
  ShowMessage(Parent, QStringLiteral("Lista zapisana w pliku %1 (wierszy: %2).").arg(file).arg(List.RowCount()),
              caption, MsgIcon::Information);
}

}  // namespace vandrel::app
