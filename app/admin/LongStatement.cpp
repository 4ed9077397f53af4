#include "app/admin/LongStatement.h"

#include <QRegularExpression>

#include "data/Query.h"
#include "app/SqlQuoting.h"
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

bool ProcessedPages(const std::vector<TDriverRecord>& Messages, std::string& Pages, std::string& Seconds) {
  static const QRegularExpression account(QStringLiteral("successfully processed (\\d+) pages in ([0-9.]+) seconds"));
  for (const TDriverRecord& record : Messages) {
    const QRegularExpressionMatch m = account.match(QString::fromStdString(record.Message));
    if (!m.hasMatch()) continue;
    Pages = m.captured(1).toStdString();
    Seconds = m.captured(2).toStdString();
    return true;
  }
  return false;
}

QString ProcessedText(const std::vector<TDriverRecord>& Messages) {
  std::string pages, seconds;
  if (!ProcessedPages(Messages, pages, seconds)) return {};
  QString shown = QString::fromStdString(seconds);
  shown.replace('.', QChar(platform::RegionalSettings().DecimalSeparator));
  return QStringLiteral("%1 stron w %2 s").arg(QString::fromStdString(pages), shown);
}

}  // namespace vandrel::app::admin
