// The server tree: the server, its databases with their state, their tables and users, and
// the logins. A node's kind is its selected-image index.
#include <QTreeWidget>
#include <set>

#include "app/Images.h"
#include "app/MainWindow.h"
#include "app/TreeWidth.h"
#include "app/NodeKinds.h"
#include "app/SqlQuoting.h"

namespace vandrel::app {
namespace {

// Every database with its state as the server reports it, in one statement: the columns
// the database list shows, then DATABASEPROPERTYEX's state, user access and updateability,
// and whether this login may enter it now (HAS_DBACCESS).
const char* const kDatabasesQuery =
    "select status, dbid, name, Convert(VARCHAR(8), crdate, 2), filename, version, cmptlevel, "
    "CAST(DATABASEPROPERTYEX(name, 'Status') AS varchar(20)), "
    "CAST(DATABASEPROPERTYEX(name, 'UserAccess') AS varchar(20)), "
    "CAST(DATABASEPROPERTYEX(name, 'Updateability') AS varchar(20)), HAS_DBACCESS(name) "
    "from sysdatabases order by dbid";

// The server's report of the database on the row that begins at Row.
TDatabaseReport ReportAt(const TextList& List, size_t Row, size_t Columns) {
  const auto cell = [&](size_t column) { return column < Columns ? List[Row + column] : std::string(); };
  return {cell(0), cell(7), cell(8), cell(9), cell(10)};
}

// Brackets tree updates so that the control repaints once.
class TreeUpdate {
 public:
  explicit TreeUpdate(QTreeWidget* Tree) : FTree(Tree) { FTree->setUpdatesEnabled(false); }
  ~TreeUpdate() { FTree->setUpdatesEnabled(true); }

 private:
  QTreeWidget* FTree;
};

}  // namespace

void TForm1::RefreshTree() {
  TextList list;
  QueryToList(list, kDatabasesQuery, "master");
  TreeReady = false;
  // What the user had open and selected comes back after the rebuild, found by identity.
  const TTreeMemory memory = RememberTree();
  bool rebuilt = false;
  try {
    if (list.size() > 1) {
      TreeView1->clear();
      rebuilt = true;
      const size_t columns = std::stoul(list[0]);
      TreeUpdate update(TreeView1);
      // The server's name is asked before its instance name, both in one statement.
      TextList names;
      QueryToList(names,
                  "select CAST(SERVERPROPERTY('ServerName') AS nvarchar(128)), "
                  "CAST(SERVERPROPERTY('InstanceName') AS nvarchar(128))",
                  "master");
      ComposeServerName(names.size() > 1 ? names[1] : std::string(), names.size() > 2 ? names[2] : std::string());
      std::string n = ServerName;
      if (n.empty()) n = ConnectionStringValue("SERVER");
      std::string text;
      if (n.find("local") != std::string::npos || n.empty()) {
        const std::string wsid = ConnectionStringValue("WSID");
        text = wsid.empty() ? "Serwer (local)" : "Serwer (" + wsid + ")";
      } else {
        text = "Serwer (" + n + ")";
      }
      QTreeWidgetItem* server = AddNode(nullptr, text, nkServer, nkServer);
      QTreeWidgetItem* databases = AddNode(server, "Bazy", nkDatabasesFolderAlt, nkDatabasesFolder);
      const bool hideSystem = CommandChecked(TCommandId::cmHideSystemDatabases);
      for (size_t row = 1; row + columns - 1 < list.size(); row += columns) {
        TreeView1->setCurrentItem(databases);
        const TDatabaseReport report = ReportAt(list, row, columns);
        const int kind = DatabaseKind(report);
        const std::string& name = list[row + 2];
        if (hideSystem && IsSystemDatabase(name)) continue;
        TNodeIdentity data;
        data.Database = name;
        QTreeWidgetItem* node = AddNode(databases, name + StateSuffix(kind), kind, kind, data);
        node->setIcon(0, TreeImage(kind, DatabaseMarks(report)));
        TreeView1->setCurrentItem(node);
        if (MayOpenDatabase(report)) {
          AddNode(node, "Tabele", nkTablesFolder, nkTablesFolder, data);
          AddNode(node, "Użytkownicy", nkUsersFolder, nkUsersFolder, data);
        }
      }
      server->setExpanded(true);
      databases->setExpanded(true);
      TreeView1->setCurrentItem(databases);
    }
    if (!list.empty()) {
      ShowDatabaseList(list);
      TextList logins;
      QueryToList(logins, "select name from syslogins", "master");
      AddLoginsFolder(logins);
    }
    if (rebuilt) RestoreTree(memory);
  } catch (...) {
    // The SQL error report has shown the failed reading; the tree keeps what it was built with.
  }
  TreeReady = true;
  FitTreeToItsTexts(TreeView1);
  if (!rebuilt) return;
  // A node chosen before the rebuild shows its details as the server now reports them, not
  // the list of databases the rebuild filled in on the way (which is the folder's own).
  const int selected = SelectedNodeKind();
  if (selected != nkNone && selected != nkDatabasesFolder && selected != nkDatabasesFolderAlt)
    ShowNodeDetails();
  else
    EnableCommandsForSelection();
}

void TForm1::AddLoginsFolder(const TextList& Logins) {
  if (Logins.size() <= 1) return;
  TreeUpdate update(TreeView1);
  QTreeWidgetItem* selected = TreeView1->currentItem();
  QTreeWidgetItem* parent = selected ? selected->parent() : nullptr;
  QTreeWidgetItem* folder = AddNode(parent, "Loginy", nkLoginsFolder, nkLoginsFolder);
  TreeView1->setCurrentItem(folder);
  const size_t columns = std::stoul(Logins[0]);
  for (size_t row = 1; row < Logins.size(); row += columns) {
    TNodeIdentity login;
    login.Name = Logins[row];
    AddNode(folder, Logins[row], nkLogin, nkLogin, login);
  }
  folder->setSelected(false);
  TreeView1->setCurrentItem(nullptr);
}

void TForm1::ComposeServerName(const std::string& Server, const std::string& Instance) {
  ServerName = app::ComposeServerName(Server, Instance);
}

void TForm1::ReadDatabaseRights() {
  const std::string database = SelectedDatabase();
  if (!Rights.Unknown(database)) return;
  const int kind = SelectedNodeKind();
  // A database the login may not enter is not its own; one that cannot be entered now
  // (offline, damaged, restoring) stays unknown, and the server decides.
  if (kind == nkDatabaseNoAccess) return Rights.SetDbOwner(database, false);
  if (kind != nkNone && IsDatabaseKind(kind) && !IsUsableDatabaseKind(kind)) return;
  TQuietErrors quiet(*this);
  const TStepValue owner = QueryScalar(kDbOwnerQuery, database);
  if (owner.Done()) Rights.SetDbOwner(database, owner.Value == "1");
}

void TForm1::ShowNodeDetails() {
  TextList list;
  const int kind = SelectedNodeKind();
  ReadDatabaseRights();
  EnableCommandsForSelection();
  // A node with a display of its own empties the list first, so that a failed statement
  // leaves no rows of the node selected before. The server and a user show nothing.
  if (kind != nkServer && kind != nkServerLost && kind != nkUser && kind != nkNone) ListView1->Model()->Clear();
  switch (kind) {
    case nkDatabasesFolderAlt:
    case nkDatabasesFolder:
      EnsureConnected();
      QueryToList(list, kDatabasesQuery, "master");
      if (!list.empty()) ShowDatabaseList(list);
      break;
    case nkDatabase:
    case nkDatabaseOffline:
    case nkDatabaseDamaged:
    case nkDatabaseNoAccess:
    case nkDatabaseSingleUser:
    case nkDatabaseReadOnly:
    case nkDatabaseRestoring:
    case nkDatabaseEmergency:
      ShowDatabaseDetails();
      break;
    case nkTablesFolder:
      EnsureConnected();
      FillTablesFolder(TreeView1->currentItem(), list);
      if (!list.empty()) ShowTableList(list);
      break;
    case nkTable:
      ShowTable();
      break;
    case nkUsersFolder: {
      EnsureConnected();
      TreeReady = false;
      try {
        const std::string database = SelectedDatabase();
        if (!database.empty()) {
          FillUsersFolder(TreeView1->currentItem(), list);
          QueryToList(list, "sp_helpuser", database);
          ShowUserList(list);
        }
      } catch (...) {
        // The SQL error report has shown why; the folder keeps what it held.
      }
      TreeReady = true;
      break;
    }
    case nkLoginsFolder:
      EnsureConnected();
      ShowLoginList();
      break;
    case nkLogin:
      EnsureConnected();
      ShowLogin(SelectedLoginName());
      break;
    default:
      break;
  }
}

void TForm1::FillTablesFolder(QTreeWidgetItem* Folder, TextList& List) {
  const std::string database = NodeIdentity(Folder).Database;
  if (database.empty()) return;
  QueryTablesToList(List, "sp_tables @table_type = \"'TABLE'\"", database);
  if (!List.empty()) FillFolder(Folder, nkTable, List, 3);
}

void TForm1::FillUsersFolder(QTreeWidgetItem* Folder, TextList& List) {
  const std::string database = NodeIdentity(Folder).Database;
  if (database.empty()) return;
  QueryToList(List, "sp_helpuser", database);
  FillFolder(Folder, nkUser, List, 1);
}

// Replaces a folder's child nodes of the given kind by one node per distinct text of column
// Column (counted from 1) of List. A table node knows its owner (column 2 of a table list,
// whose column 3 QueryTablesToList made owner + "." + name) and its name; a user node its name.
void TForm1::FillFolder(QTreeWidgetItem* Folder, int ChildImage, const TextList& List, int Column) {
  if (!Folder || List.size() <= 1) return;
  const size_t columns = std::stoul(List[0]);
  if (columns < static_cast<size_t>(Column)) return;
  const bool ready = TreeReady;
  TreeReady = false;  // the folder's own changes start no detail display
  {
    TreeUpdate update(TreeView1);
    for (int i = Folder->childCount() - 1; i >= 0; --i)
      if (NodeImage(Folder->child(i)) == ChildImage) delete Folder->takeChild(i);
    // sp_helpuser gives a user one row per role: the folder shows each text once.
    std::set<std::string> added;
    const std::string database = NodeIdentity(Folder).Database;
    for (size_t row = 1; row + columns - 1 < List.size(); row += columns) {
      const std::string& text = List[row + Column - 1];
      if (!added.insert(text).second) continue;
      TNodeIdentity data;
      data.Database = database;
      if (ChildImage == nkTable) {
        data.Owner = List[row + 1];
        data.Table = text.substr(std::min(text.size(), data.Owner.size() + 1));
      } else {
        data.Name = text;
      }
      AddNode(Folder, text, ChildImage, ChildImage, data);
    }
  }
  TreeView1->setCurrentItem(Folder);
  TreeReady = ready;
}

int TForm1::SelectedNodeKind() {
  QTreeWidgetItem* node = TreeView1->currentItem();
  return NodeIdentity(node).Kind;
}

TNodeIdentity TForm1::SelectedIdentity() const { return NodeIdentity(TreeView1->currentItem()); }

std::string TForm1::SelectedDatabase() {
  for (QTreeWidgetItem* node = TreeView1->currentItem(); node; node = node->parent())
    if (IsDatabaseKind(NodeIdentity(node).Kind)) return NodeIdentity(node).Database;
  return {};
}

std::string TForm1::SelectedDatabaseNode() {
  const TNodeIdentity id = SelectedIdentity();
  return IsDatabaseKind(id.Kind) ? id.Database : std::string();
}

std::string TForm1::SelectedNodeText() {
  QTreeWidgetItem* node = TreeView1->currentItem();
  return node ? node->text(0).toStdString() : std::string();
}

std::string TForm1::SelectedLoginName() {
  const TNodeIdentity id = SelectedIdentity();
  return id.Kind == nkLogin ? id.Name : std::string();
}

}  // namespace vandrel::app
