#include "app/admin/LongStatement.h"

#include <QRegularExpression>

#include "data/Query.h"
#include "app/SqlQuoting.h"
#include "app/StatementWaiter.h"
#include "platform/base/RegionalSettings.h"

namespace vandrel::app::admin {

void OpenInMaster(TCommandContext& Context, const std::string& Statement) {
  TKMQuery& query = Context.MainQuery();
  Context.ResetMainQuery();
  query.GetSQL().Add("use master");
  query.ExecSQL();
  Context.ResetMainQuery();
  query.GetSQL().Add(Statement);
  query.Open();
}

bool RunLongStatement(TCommandContext& Context, const std::string& Statement, const std::string& Caption,
                      std::vector<std::string>& Messages) {
  Messages.clear();
  if (!Context.EnsureConnected()) return false;
  TKMQuery& query = Context.MainQuery();
  bool ok = true;
  try {
    WaitTask task(Context.StatementWaiter(), Caption);
    // Opened, not executed, so that the informational records reach the query.
    query.SetCollectDriverInfo(true);
    OpenInMaster(Context, Statement);
    Messages = query.GetDriverInfo();
  } catch (...) {
    ok = false;
  }
  query.SetCollectDriverInfo(false);
  query.ClearDriverInfo();
  Context.ResetMainQuery();
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
