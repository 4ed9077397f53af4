#include "app/admin/LongStatement.h"

#include <QRegularExpression>

#include "app/MainWindow.h"
#include "app/SqlQuoting.h"
#include "app/StatementWaiter.h"
#include "platform/base/RegionalSettings.h"

namespace vandrel::app::admin {

void OpenInMaster(TForm1& Form, const std::string& Statement) {
  Form.ResetQuery();
  Form.KMQuery1->GetSQL().Add("use master");
  Form.KMQuery1->ExecSQL();
  Form.ResetQuery();
  Form.KMQuery1->GetSQL().Add(Statement);
  Form.KMQuery1->Open();
}

bool RunLongStatement(TForm1& Form, const std::string& Statement, const std::string& Caption,
                      std::vector<std::string>& Messages) {
  Messages.clear();
  if (!Form.EnsureConnected()) return false;
  TKMQuery& query = *Form.KMQuery1;
  bool ok = true;
  try {
    WaitTask task(Form.Waiter, Caption);
    // Opened, not executed, so that the informational records reach the query.
    query.SetCollectDriverInfo(true);
    OpenInMaster(Form, Statement);
    Messages = query.GetDriverInfo();
  } catch (...) {
    ok = false;
  }
  query.SetCollectDriverInfo(false);
  query.ClearDriverInfo();
  Form.ResetQuery();
  return ok;
}

bool ProcessedPages(const std::vector<std::string>& Messages, std::string& Pages, std::string& Seconds) {
  static const QRegularExpression account(QStringLiteral("successfully processed (\\d+) pages in ([0-9.]+) seconds"));
  for (const std::string& line : Messages) {
    const QRegularExpressionMatch m = account.match(QString::fromStdString(line));
    if (!m.hasMatch()) continue;
    Pages = m.captured(1).toStdString();
    Seconds = m.captured(2).toStdString();
    return true;
  }
  return false;
}

QString ProcessedText(const std::vector<std::string>& Messages) {
  std::string pages, seconds;
  if (!ProcessedPages(Messages, pages, seconds)) return {};
  QString shown = QString::fromStdString(seconds);
  shown.replace('.', QChar(platform::RegionalSettings().DecimalSeparator));
  return QStringLiteral("%1 stron w %2 s").arg(QString::fromStdString(pages), shown);
}

}  // namespace vandrel::app::admin
