#include "app/admin/CheckSummary.h"

#include <QRegularExpression>
#include <QStringList>
#include <cstdlib>
#include <map>

#include "app/ErrorText.h"

namespace vandrel::app::admin {
namespace {

// The numbers of the message in the order the server wrote them (its arguments).
std::vector<long long> NumbersIn(const std::string& Text) {
  static const QRegularExpression number(QStringLiteral("\\b\\d+\\b"));
  std::vector<long long> numbers;
  for (auto it = number.globalMatch(QString::fromStdString(Text)); it.hasNext();)
    numbers.push_back(it.next().captured().toLongLong());
  return numbers;
}

// The first quoted argument of the message: the table of an 8990.
std::string QuotedName(const std::string& Text) {
  const size_t open = Text.find('\'');
  const size_t close = Text.rfind("' (");
  if (open == std::string::npos || close == std::string::npos || close <= open) return {};
  return Text.substr(open + 1, close - open - 1);
}

// "Changed database context to ...": said by every "use", none of them the repair's own.
constexpr int kChangedDatabaseContext = 5701;

bool Informational(const TDriverRecord& R) { return R.SqlState.rfind("01", 0) == 0; }

// The messages a check sends about the damage itself: the 79xx and 89xx errors.
bool ConsistencyError(const TDriverRecord& R) {
  return !Informational(R) && ((R.NativeError >= 7900 && R.NativeError < 8000) || (R.NativeError >= 8900 && R.NativeError < 9000));
}

QString Counts(long long Allocation, long long Consistency) {
  return QString::fromStdString(PolishCount(Allocation, "błąd", "błędy", "błędów") + " alokacji i " +
                                PolishCount(Consistency, "błąd", "błędy", "błędów") + " spójności");
}

}  // namespace

TCheckFindings ReadCheckFindings(const std::vector<TDriverRecord>& Records) {
  TCheckFindings f;
  for (const TDriverRecord& r : Records) {
    const std::string text = WithoutDriverPrefixes(r.Message);
    const std::vector<long long> n = NumbersIn(text);
    switch (r.NativeError) {
      case 8989:  // found A allocation errors and C consistency errors in database 'D'
        if (n.size() >= 2) {
          f.Counted = true;
          f.AllocationErrors = n[0];
          f.ConsistencyErrors = n[1];
        }
        continue;
      case 8990:  // ... in table 'T' (object ID N)
        if (n.size() >= 2 && n[0] + n[1] > 0) {
          const std::string name = QuotedName(text);
          if (!name.empty()) f.Objects.push_back(name);
        }
        continue;
      case 8958: {  // LEVEL is the minimum repair level for the errors found by DBCC CHECKDB (D)
        const QString level = QString::fromStdString(text).section(' ', 0, 0).toUpper();
        if (!RepairCommandFor(level.toStdString()).isEmpty()) f.MinimumLevel = level.toStdString();
        continue;
      }
      default: break;
    }
    // What a repair fixed comes without a number of its own.
    if ((text.rfind("CHECKDB fixed ", 0) == 0 || text.rfind("CHECKALLOC fixed ", 0) == 0) &&
        text.find(" in database ") != std::string::npos && n.size() >= 2) {
      f.Repairing = true;
      f.FixedAllocation = n[0];
      f.FixedConsistency = n[1];
    }
    if (ConsistencyError(r)) ++f.ErrorRecords;
  }
  return f;
}

QString RepairCommandFor(const std::string& Level) {
  if (Level == "REPAIR_FAST") return QStringLiteral("Naprawa Fast");
  if (Level == "REPAIR_REBUILD") return QStringLiteral("Naprawa Rebuild");
  if (Level == "REPAIR_ALLOW_DATA_LOSS") return QStringLiteral("Naprawa Full");
  return {};
}

QString CheckSummaryText(const TCheckFindings& F) {
  if (F.Clean()) return QStringLiteral("Baza danych nie zawiera błędów");
  QStringList lines;
  if (F.Counted)
    lines << QStringLiteral("Serwer znalazł %1.").arg(Counts(F.AllocationErrors, F.ConsistencyErrors));
  else
    lines << QStringLiteral("Serwer znalazł błędy (%1), ale nie przysłał ich podsumowania.")
                 .arg(QString::fromStdString(PolishCount(F.ErrorRecords, "komunikat", "komunikaty", "komunikatów")));
  if (!F.Objects.empty()) {
    QStringList names;
    for (const std::string& name : F.Objects) names << QString::fromStdString(name);
    lines << QStringLiteral("Obiekty z błędami: %1.").arg(names.join(QStringLiteral(", ")));
  }
  if (!F.MinimumLevel.empty())
    lines << QStringLiteral("Minimalny poziom naprawy według serwera: %1, czyli polecenie \"%2\" (Bazy → Naprawa baz danych).")
                 .arg(QString::fromStdString(F.MinimumLevel), RepairCommandFor(F.MinimumLevel));
  return lines.join('\n');
}

QString RepairFixedText(const TCheckFindings& F) {
  if (!F.Repairing) return {};
  return QStringLiteral("Naprawa usunęła %1.").arg(Counts(F.FixedAllocation, F.FixedConsistency));
}

QString MessagesText(const std::vector<TDriverRecord>& Records) {
  QStringList lines;
  for (const TDriverRecord& r : Records) lines << QString::fromStdString(WithoutDriverPrefixes(r.Message));
  return lines.join('\n');
}

QString RepairAccountText(const std::vector<TDriverRecord>& Records) {
  // The tables by the numbers the server's own counts give them ("... in table 'T' (object ID N).").
  std::map<std::string, std::string> tables;
  for (const TDriverRecord& r : Records) {
    const std::string text = WithoutDriverPrefixes(r.Message);
    const size_t id = text.rfind("(object ID ");
    const std::string name = QuotedName(text);
    if (id != std::string::npos && !name.empty()) tables[std::to_string(std::atoll(text.c_str() + id + 11))] = name;
  }
  const auto lookup = [&tables](const std::string& Id) {
    const auto found = tables.find(Id);
    return found == tables.end() ? Id : found->second;
  };
  QStringList lines;
  for (const TDriverRecord& r : Records)
    if (r.NativeError != kChangedDatabaseContext)
      lines << QString::fromStdString(RewriteObjectIds(WithoutDriverPrefixes(r.Message), lookup));
  return lines.join('\n');
}

}  // namespace vandrel::app::admin
