// The detail list: what the selected tree node holds, laid out with fixed columns, captions,
// widths and value translations.
#include <QFontMetrics>
#include <QHeaderView>
#include <QTreeWidget>

#include "app/MainWindow.h"
#include "app/admin/InUseGuard.h"
#include "app/NodeKinds.h"
#include "app/SqlQuoting.h"
#include "foundation/Trim.h"

namespace vandrel::app {
namespace {

constexpr int kCentredRole = Qt::UserRole + 10;

const char* const kLoginsQuery =
    "select name, dbname, language, Convert(VARCHAR(8), createdate, 2),CASE sysadmin WHEN 1 THEN 'TAK' "
    "WHEN 0 THEN '-' END, password from syslogins";

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Rows of a flat result list: Cell(row, column) with the column counted from 1.
class FlatRows {
 public:
  explicit FlatRows(const TextList& List)
      : FList(List), FColumns(List.empty() ? 0 : std::stoul(List[0])) {}
  size_t Count() const { return FColumns == 0 ? 0 : (FList.size() - 1) / FColumns; }
  std::string Cell(size_t Row, size_t Column) const {
    if (Column < 1 || Column > FColumns) return {};
    const size_t at = 1 + Row * FColumns + (Column - 1);
    return at < FList.size() ? FList[at] : std::string();
  }

 private:
  const TextList& FList;
  size_t FColumns;
};

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

QString LoginStatus(const std::string& Value) {
  const std::string v = Upper(std::string(Trim(Value)));
  if (v == "NO") return QStringLiteral("Brak użytkownika");
  if (v == "YES") return QStringLiteral("OK");
  return QStringLiteral("-");
}

QString OnOff(bool On) { return On ? QStringLiteral("Włączony") : QStringLiteral("Wyłączony"); }

std::string TrimRight(const std::string& s) {
  size_t end = s.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : s.substr(0, end + 1);
}

}  // namespace

// Empties the list and gives it the columns (caption, width, centred).
void TForm1::BeginList(const std::vector<std::tuple<QString, int, bool>>& Columns) {
  ListView1->clear();
  QStringList captions;
  for (const auto& c : Columns) captions << std::get<0>(c);
  ListView1->setColumnCount(static_cast<int>(Columns.size()));
  ListView1->setHeaderLabels(captions);
  for (int i = 0; i < static_cast<int>(Columns.size()); ++i) {
    const auto& [caption, width, centred] = Columns[static_cast<size_t>(i)];
    ListView1->setColumnWidth(i, width > 0 ? width : QFontMetrics(ListView1->font()).horizontalAdvance(caption) + 24);
    ListView1->headerItem()->setData(i, kCentredRole, centred);
    ListView1->headerItem()->setTextAlignment(i, centred ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
  }
}

QTreeWidgetItem* TForm1::AddListItem(const QString& Caption, const QStringList& SubItems) {
  auto* item = new QTreeWidgetItem(ListView1);
  item->setText(0, Caption);
  for (int i = 0; i < SubItems.size(); ++i) item->setText(i + 1, SubItems[i]);
  for (int i = 0; i < ListView1->columnCount(); ++i)
    if (ListView1->headerItem()->data(i, kCentredRole).toBool()) item->setTextAlignment(i, Qt::AlignCenter);
  return item;
}

void TForm1::ShowDatabaseList(const TextList& List) {
  FlatRows rows(List);
  if (rows.Count() == 0) return;
  ListView1->setUpdatesEnabled(false);
  BeginList({{"ID", 30, false}, {"Nazwa bazy", 120, false}, {"Data utworzenia", 110, true},
             {"Lokalizacja pliku bazy", 500, false}});
  const bool hideSystem = CommandChecked(QStringLiteral("Nie wyświetlaj bazy systemowych"));
  for (size_t r = 0; r < rows.Count(); ++r) {
    if (hideSystem && IsSystemDatabase(rows.Cell(r, 3))) continue;
    AddListItem(Q(rows.Cell(r, 2)), {Q(rows.Cell(r, 3)), Q(rows.Cell(r, 4)), Q(rows.Cell(r, 5))});
  }
  ListView1->setUpdatesEnabled(true);
}

void TForm1::ShowLoginRows(const TextList& List, bool ShortForm) {
  FlatRows rows(List);
  if (rows.Count() == 0) return;
  ListView1->setUpdatesEnabled(false);
  if (ShortForm) {
    BeginList({{"Login", 170, false}, {"Baza domyślna", 120, false}, {"Język domyślny", 120, false},
               {"Status", 120, false}});
    for (size_t r = 0; r < rows.Count(); ++r)
      AddListItem(Q(rows.Cell(r, 1)), {Q(rows.Cell(r, 3)), Q(rows.Cell(r, 4)), LoginStatus(rows.Cell(r, 5))});
  } else {
    BeginList({{"Login", 170, false}, {"Baza domyślna", 120, false}, {"Język domyślny", 110, false},
               {"Data utworzenia", 110, false}, {"Uprawnienia admin", 130, true}, {"Hasło", 70, true},
               {"Status", 110, false}});
    const size_t columns = std::stoul(List[0]);
    for (size_t r = 0; r < rows.Count(); ++r) {
      QStringList sub = {Q(rows.Cell(r, 2)), Q(rows.Cell(r, 3)), Q(rows.Cell(r, 4)), Q(rows.Cell(r, 5)),
                         rows.Cell(r, 6).empty() ? QStringLiteral("Brak") : QStringLiteral("*****")};
      // The statement returns six columns, so the status stays empty unless a seventh comes.
      if (columns >= 7) sub << LoginStatus(rows.Cell(r, 7));
      AddListItem(Q(rows.Cell(r, 1)), sub);
    }
  }
  ListView1->setUpdatesEnabled(true);
}

void TForm1::ShowLoginList() {
  TextList list;
  QueryToList(list, kLoginsQuery, "master");
  if (!list.empty()) return ShowLoginRows(list, false);
  QueryToList(list, "sp_helplogins", "master");
  ShowLoginRows(list, true);
}

void TForm1::ShowLogin(const std::string& Login) {
  TextList list;
  QueryToList(list, std::string(kLoginsQuery) + " where name = '" + EscapeLiteral(Login) + "'", "master");
  if (!list.empty()) return ShowLoginRows(list, false);
  QueryToList(list, "sp_helplogins '" + EscapeLiteral(Login) + "'", "master");
  ShowLoginRows(list, true);
}

void TForm1::ShowUserList(const TextList& List) {
  FlatRows rows(List);
  if (rows.Count() == 0) return;
  ListView1->setUpdatesEnabled(false);
  BeginList({{"Użytkownik", 120, false}, {"Login", 120, false}, {"Baza domyślna", 120, false}});
  for (size_t r = 0; r < rows.Count(); ++r)
    AddListItem(Q(rows.Cell(r, 1)), {Q(rows.Cell(r, 3)), Q(rows.Cell(r, 4))});
  ListView1->setUpdatesEnabled(true);
}

void TForm1::ShowTableList(const TextList& List) {
  FlatRows rows(List);
  if (rows.Count() == 0) return;
  ListView1->setUpdatesEnabled(false);
  BeginList({{"Nazwa tabeli", 180, false}});
  for (size_t r = 0; r < rows.Count(); ++r) AddListItem(Q(rows.Cell(r, 3)), {});
  ListView1->setUpdatesEnabled(true);
}

void TForm1::ShowTable() {
  if (!EnsureConnected()) return;
  const std::string database = SelectedDatabase(), table = SelectedNodeText();
  if (database.empty() || table.empty()) return;
  if (CommandChecked(QStringLiteral("Wyświetlanie kolumn - zawartość"))) {
    QueryToListView("select * from " + QuoteQualifiedName(table), ListView1, database);
    return;
  }
  const size_t dot = table.find('.');
  const std::string name = dot == std::string::npos ? table : table.substr(dot + 1);
  TextList list;
  QueryToList(list, "sp_columns \"" + EscapeDoubleQuoted(name) + "\"", database);
  FlatRows rows(list);
  if (rows.Count() == 0) return;
  ListView1->setUpdatesEnabled(false);
  BeginList({{"Nazwa kolumny", 180, false}, {"Typ danych", 140, false}, {"Precyzja", 90, false},
             {"Rozmiar", 90, false}});
  for (size_t r = 0; r < rows.Count(); ++r)
    AddListItem(Q(rows.Cell(r, 4)), {Q(rows.Cell(r, 6)), Q(rows.Cell(r, 7)), Q(rows.Cell(r, 8))});
  ListView1->setUpdatesEnabled(true);
}

void TForm1::SetTableDisplayMode(bool Contents) {
  for (QAction* a : Commands(QStringLiteral("Wyświetlanie kolumn - zawartość"))) a->setChecked(Contents);
  for (QAction* a : Commands(QStringLiteral("Wyświetlanie kolumn - struktura danych"))) a->setChecked(!Contents);
  if (SelectedNodeKind() == nkTable) ShowTable();
}

void TForm1::ShowDatabaseDetails() {
  const std::string database = SelectedDatabase();
  if (database.empty()) return;
  const std::string id = admin::DatabaseIdentifier(*this, database);
  if (id.empty()) return;
  TextList files, properties;
  QueryToList(files, "SELECT fileid, name, filename, size, maxsize, growth FROM sysaltfiles where dbid=" + id,
              "master");
  QueryToList(properties, "SELECT Name, crdate, status,status2,cmptlevel ,version FROM sysdatabases where dbid=" + id,
              "master");
  FlatRows fileRows(files);
  if (fileRows.Count() == 0) return;
  ListView1->setUpdatesEnabled(false);
  BeginList({{"Parametr", 0, false}, {QStringLiteral("Wartość"), 0, false}});
  for (size_t r = 0; r < fileRows.Count(); ++r) {
    const bool data = fileRows.Cell(r, 1).find('1') != std::string::npos;
    AddListItem(data ? QStringLiteral("Logiczna nazwa pliku bazy: ") : QStringLiteral("Logiczna nazwa loga bazy: "),
                {Q(TrimRight(fileRows.Cell(r, 2)))});
    AddListItem(data ? QStringLiteral("Lokalizacja pliku bazy: ") : QStringLiteral("Lokalizacja pliku loga bazy: "),
                {Q(TrimRight(fileRows.Cell(r, 3)))});
    bool isNumber = false;
    const qlonglong pages = Q(fileRows.Cell(r, 4)).trimmed().toLongLong(&isNumber);
    if (!isNumber)
      AddListItem({}, {});
    else
      AddListItem(QStringLiteral("Rozmiar: "), {QString::number(pages * 8) + " KB"});
    const std::string maxsize = fileRows.Cell(r, 5);
    AddListItem(QStringLiteral("Maksymalny rozmiar: "), {maxsize == "-1" ? QStringLiteral("nieokreślono") : Q(maxsize)});
    const std::string growth = fileRows.Cell(r, 6);
    AddListItem(QStringLiteral("Automatyczny przyrost pliku: "),
                {growth == "0%" ? QStringLiteral("wyłączony") : Q(growth)});
    AddListItem({}, {});
  }
  FlatRows props(properties);
  if (props.Count() > 0) {
    AddListItem(QStringLiteral("Nazwa bazy: "), {Q(props.Cell(0, 1))});
    AddListItem(QStringLiteral("Data utworzenia: "), {Q(props.Cell(0, 2))});
    AddListItem({}, {});
    const qlonglong s = Q(props.Cell(0, 3)).trimmed().toLongLong();
    if (s > 0) {
      if (s & 0x8000) AddListItem(QStringLiteral("Stan bazy: "), {QStringLiteral("Nieznane uszkodzenie")});
      AddListItem(QStringLiteral("Tryb single user: "), {OnOff(s & 0x1000)});
      AddListItem(QStringLiteral("Tryb offline: "), {OnOff(s & 0x200)});
      AddListItem(QStringLiteral("Tryb autokompresji: "), {OnOff(s & 4194304)});
      AddListItem(QStringLiteral("Baza w trybie tylko do odczytu: "), {OnOff(s & 0x400)});
    }
  }
  ListView1->setUpdatesEnabled(true);
}

}  // namespace vandrel::app
