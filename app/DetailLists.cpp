// The detail list: what the selected tree node holds, laid out with fixed columns, captions,
// widths and value translations.
#include <QFontMetrics>
#include <exception>

#include "app/MainWindow.h"
#include "app/admin/InUseGuard.h"
#include "app/NodeKinds.h"
#include "app/SqlQuoting.h"
#include "foundation/Trim.h"

namespace vandrel::app {
namespace {

const char* const kLoginsQuery =
    "select name, dbname, language, Convert(VARCHAR(8), createdate, 2),CASE sysadmin WHEN 1 THEN 'TAK' "
    "WHEN 0 THEN '-' END, password from syslogins";


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

std::string LoginStatus(const std::string& Value) {
  const std::string v = Upper(std::string(Trim(Value)));
  if (v == "NO") return "Brak użytkownika";
  if (v == "YES") return "OK";
  return "-";
}

std::string OnOff(bool On) { return On ? "Włączony" : "Wyłączony"; }

std::string TrimRight(const std::string& s) {
  size_t end = s.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : s.substr(0, end + 1);
}

// One display's fill of the list: the columns (caption, width in pixels or 0 for the
// caption's own width, centred), then its rows; the list repaints once, at the end. A
// column sized to its caption is widened to its texts once they are in, and the last such
// column takes the rest of the list, as a report list sizes such columns. A fill left by
// an exception keeps its columns and drops its rows.
class ListFill {
 public:
  struct Column {
    const char* Caption;
    int Width;
    bool Centred;
  };
  ListFill(TListView* List, std::initializer_list<Column> Columns)
      : FList(List), FModel(List->Model()), FExceptions(std::uncaught_exceptions()) {
    std::vector<TListColumn> columns;
    for (const Column& c : Columns) {
      if (c.Width <= 0 && columns.size() + 1 < Columns.size()) FWidened.push_back(static_cast<int>(columns.size()));
      const QString caption = QString::fromUtf8(c.Caption);
      TListColumn column;
      column.Caption = caption;
      column.Width = c.Width > 0 ? c.Width : List->fontMetrics().horizontalAdvance(caption) + 24;
      if (c.Centred) column.Alignment = Qt::AlignCenter;
      columns.push_back(column);
    }
    if (Columns.size() > 0 && (Columns.end() - 1)->Width <= 0) columns.back().FillsRest = true;
    FModel->BeginFill(std::move(columns));
  }
  ~ListFill() {
    const bool whole = std::uncaught_exceptions() == FExceptions;
    FModel->EndFill(whole);
    if (!whole) return;
    for (int column : FWidened) FList->WidenColumnToSample(column);
    // A column given a width still shows a longer text (a file's path) whole, up to a limit.
    for (int column = 0; column < FList->ColumnCount(); ++column)
      if (!std::count(FWidened.begin(), FWidened.end(), column) && !FList->Model()->Columns()[static_cast<size_t>(column)].FillsRest)
        FList->WidenColumnToTexts(column);
  }
  ListFill(const ListFill&) = delete;
  ListFill& operator=(const ListFill&) = delete;

  void Row(std::initializer_list<std::string_view> Texts) { FModel->AppendRow(Texts); }

 private:
  TListView* FList;
  TListModel* FModel;
  int FExceptions;
  std::vector<int> FWidened;  // columns sized to their captions, but for the last one
};

}  // namespace

void TForm1::ShowDatabaseList(const TextList& List) {
  FlatRows rows(List);
  if (rows.Count() == 0) return;
  ListFill fill(ListView1, {{"ID", 30, false}, {"Nazwa bazy", 120, false}, {"Data utworzenia", 110, true},
                            {"Lokalizacja pliku bazy", 500, false}});
  const bool hideSystem = CommandChecked(TCommandId::cmHideSystemDatabases);
  for (size_t r = 0; r < rows.Count(); ++r) {
    if (hideSystem && IsSystemDatabase(rows.Cell(r, 3))) continue;
    fill.Row({rows.Cell(r, 2), rows.Cell(r, 3), rows.Cell(r, 4), rows.Cell(r, 5)});
  }
}

void TForm1::ShowLoginRows(const TextList& List, bool ShortForm) {
  FlatRows rows(List);
  if (rows.Count() == 0) return;
  if (ShortForm) {
    ListFill fill(ListView1, {{"Login", 170, false}, {"Baza domyślna", 120, false},
                              {"Język domyślny", 120, false}, {"Status", 120, false}});
    for (size_t r = 0; r < rows.Count(); ++r)
      fill.Row({rows.Cell(r, 1), rows.Cell(r, 3), rows.Cell(r, 4), LoginStatus(rows.Cell(r, 5))});
    return;
  }
  ListFill fill(ListView1, {{"Login", 170, false}, {"Baza domyślna", 120, false}, {"Język domyślny", 110, false},
                            {"Data utworzenia", 110, false}, {"Uprawnienia admin", 130, true},
                            {"Hasło", 70, true}, {"Status", 110, false}});
  // The statement returns six columns, so the status stays empty unless a seventh comes.
  const bool withStatus = std::stoul(List[0]) >= 7;
  for (size_t r = 0; r < rows.Count(); ++r)
    fill.Row({rows.Cell(r, 1), rows.Cell(r, 2), rows.Cell(r, 3), rows.Cell(r, 4), rows.Cell(r, 5),
              rows.Cell(r, 6).empty() ? "Brak" : "*****", withStatus ? LoginStatus(rows.Cell(r, 7)) : ""});
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
  std::string query = kLoginsQuery;
  query.append(" where name = '").append(EscapeLiteral(Login)).append("'");
  QueryToList(list, query, "master");
  if (!list.empty()) return ShowLoginRows(list, false);
  QueryToList(list, "sp_helplogins '" + EscapeLiteral(Login) + "'", "master");
  ShowLoginRows(list, true);
}

void TForm1::ShowUserList(const TextList& List) {
  FlatRows rows(List);
  if (rows.Count() == 0) return;
  ListFill fill(ListView1, {{"Użytkownik", 120, false}, {"Login", 120, false}, {"Baza domyślna", 120, false}});
  for (size_t r = 0; r < rows.Count(); ++r) fill.Row({rows.Cell(r, 1), rows.Cell(r, 3), rows.Cell(r, 4)});
}

void TForm1::ShowTableList(const TextList& List) {
  FlatRows rows(List);
  if (rows.Count() == 0) return;
  ListFill fill(ListView1, {{"Nazwa tabeli", 180, false}});
  for (size_t r = 0; r < rows.Count(); ++r) fill.Row({rows.Cell(r, 3)});
}

void TForm1::ShowTable() {
  if (!EnsureConnected()) return;
  const TNodeIdentity table = SelectedIdentity();
  if (table.Kind != nkTable || table.Database.empty() || table.Table.empty()) return;
  if (CommandChecked(TCommandId::cmShowTableContents)) {
    QueryToListView("select * from " + QuoteIdentifier(table.Owner) + "." + QuoteIdentifier(table.Table), ListView1,
                    table.Database);
    return;
  }
  const std::string& name = table.Table;
  TextList list;
  QueryToList(list, "sp_columns \"" + EscapeDoubleQuoted(name) + "\"", table.Database);
  FlatRows rows(list);
  if (rows.Count() == 0) return;
  ListFill fill(ListView1, {{"Nazwa kolumny", 180, false}, {"Typ danych", 140, false}, {"Precyzja", 90, false},
                            {"Rozmiar", 90, false}});
  for (size_t r = 0; r < rows.Count(); ++r) fill.Row({rows.Cell(r, 4), rows.Cell(r, 6), rows.Cell(r, 7), rows.Cell(r, 8)});
}

void TForm1::SetTableDisplayMode(bool Contents) {
  for (QAction* a : Commands(TCommandId::cmShowTableContents)) a->setChecked(Contents);
  for (QAction* a : Commands(TCommandId::cmShowColumnStructure)) a->setChecked(!Contents);
  if (SelectedNodeKind() == nkTable) {
    ListView1->Model()->Clear();
    ShowTable();
  }
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
  ListFill fill(ListView1, {{"Parametr", 0, false}, {"Wartość", 0, false}});
  for (size_t r = 0; r < fileRows.Count(); ++r) {
    const bool data = fileRows.Cell(r, 1).find('1') != std::string::npos;
    fill.Row({data ? "Logiczna nazwa pliku bazy: " : "Logiczna nazwa loga bazy: ", TrimRight(fileRows.Cell(r, 2))});
    fill.Row({data ? "Lokalizacja pliku bazy: " : "Lokalizacja pliku loga bazy: ", TrimRight(fileRows.Cell(r, 3))});
    bool isNumber = false;
    const qlonglong pages = QString::fromStdString(fileRows.Cell(r, 4)).trimmed().toLongLong(&isNumber);
    if (isNumber)
      fill.Row({"Rozmiar: ", std::to_string(pages * 8) + " KB"});
    else
      fill.Row({});
    const std::string maxsize = fileRows.Cell(r, 5);
    fill.Row({"Maksymalny rozmiar: ", maxsize == "-1" ? "nieokreślono" : maxsize});
    const std::string growth = fileRows.Cell(r, 6);
    fill.Row({"Automatyczny przyrost pliku: ", growth == "0%" ? "wyłączony" : growth});
    fill.Row({});
  }
  FlatRows props(properties);
  if (props.Count() == 0) return;
  fill.Row({"Nazwa bazy: ", props.Cell(0, 1)});
  fill.Row({"Data utworzenia: ", props.Cell(0, 2)});
  fill.Row({});
  const qlonglong s = QString::fromStdString(props.Cell(0, 3)).trimmed().toLongLong();
  if (s <= 0) return;
  if (s & 0x8000) fill.Row({"Stan bazy: ", "Nieznane uszkodzenie"});
  fill.Row({"Tryb single user: ", OnOff(s & 0x1000)});
  fill.Row({"Tryb offline: ", OnOff(s & 0x200)});
  fill.Row({"Tryb autokompresji: ", OnOff(s & 4194304)});
  fill.Row({"Baza w trybie tylko do odczytu: ", OnOff(s & 0x400)});
}

}  // namespace vandrel::app
