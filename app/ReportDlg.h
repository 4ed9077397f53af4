#pragma once
// TReportDlg: a report that a message box cannot hold (tens of server messages): a short
// summary beside the icon, the whole text below in a scrolling area that can be selected and
// copied, and "Kopiuj", which puts the summary and the text on the clipboard. It never grows
// past the screen it opens on.
#include <QDialog>

#include "app/DialogSeam.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace vandrel::app {

class TReportDlg : public QDialog {
 public:
  TReportDlg(QWidget* Parent, const QString& Summary, const QString& Text, const QString& Caption, MsgIcon Icon);

  QLabel* SummaryLabel = nullptr;
  QPlainTextEdit* TextBox = nullptr;
  QPushButton* CopyButton = nullptr;
  QPushButton* OkButton = nullptr;

  // What "Kopiuj" puts on the clipboard.
  QString CopiedText() const;
};

}  // namespace vandrel::app
