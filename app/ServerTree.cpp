// The server tree: the server, its databases with their state, their tables and users, and
// the logins. A node's kind is its selected-image index.
#include <QTreeWidget>
#include <set>

#include "app/Images.h"
#include "app/MainWindow.h"
#include "app/NodeKinds.h"
#include "app/ProcessFlags.h"
#include "app/SqlQuoting.h"

namespace vandrel::app {
namespace {

const char* const kDatabasesQuery =
    "select status, dbid, name, Convert(VARCHAR(8), crdate, 2), filename, version, cmptlevel "
    "from sysdatabases order by dbid";

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
  try {
    if (list.size() > 1) {
      TreeView1->clear();
      const size_t columns = std::stoul(list[0]);
      TreeUpdate update(TreeView1);
      // The server's name is asked before its instance name.
      const std::string serverName = QueryScalar("select CAST(SERVERPROPERTY('ServerName') AS nvarchar(128))", "master");
      const std::string instance =
          QueryScalar("select CAST(SERVERPROPERTY('InstanceName') AS nvarchar(128))", "master");
      ComposeServerName(serverName, instance);
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
      const bool hideSystem = CommandChecked(QStringLiteral("Nie wyświetlaj bazy systemowych"));
      for (size_t row = 1; row + columns - 1 < list.size(); row += columns) {
        TreeView1->setCurrentItem(databases);
        int kind = StatusImage(list[row]);
        const std::string& name = list[row + 2];
        if (hideSystem && IsSystemDatabase(name)) continue;
        std::string nodeText = name;
        if (kind == nkDatabase) {
          kind = TestDatabaseAccess(name);
          if (kind == nkDatabaseDamaged) nodeText = name + " (Uszkodzona)";
        } else if (kind == nkDatabaseOffline) {
          nodeText = name + " (Offline)";
        } else {
          nodeText = name + " (Uszkodzona)";
        }
        QTreeWidgetItem* node = AddNode(databases, nodeText, kind, kind);
        if (kind == nkDatabase) node->setIcon(0, TreeImage(kind, DatabaseMarks(list[row])));
        TreeView1->setCurrentItem(node);
        if (kind == nkDatabase) {
          AddNode(node, "Tabele", nkTablesFolder, nkTablesFolder);
          AddNode(node, "Użytkownicy", nkUsersFolder, nkUsersFolder);
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
  } catch (...) {
  }
  TreeReady = true;
}

void TForm1::AddLoginsFolder(const TextList& Logins) {
  if (Logins.size() <= 1) return;
  TreeUpdate update(TreeView1);
  QTreeWidgetItem* selected = TreeView1->currentItem();
  QTreeWidgetItem* parent = selected ? selected->parent() : nullptr;
  QTreeWidgetItem* folder = AddNode(parent, "Loginy", nkLoginsFolder, nkLoginsFolder);
  TreeView1->setCurrentItem(folder);
  const size_t columns = std::stoul(Logins[0]);
  for (size_t row = 1; row < Logins.size(); row += columns) AddNode(folder, Logins[row], nkLogin, nkLogin);
  folder->setSelected(false);
  TreeView1->setCurrentItem(nullptr);
}

int TForm1::TestDatabaseAccess(const std::string& Name) {
  if (!EnsureConnected()) return nkDatabase;
  // The flag silences this one statement; a "use" that fails before the report runs must not
  // leave it set for the next real error.
  struct QuietStatement {
    QuietStatement() { QuietErrors = true; }
    ~QuietStatement() { QuietErrors = false; }
  } quiet;
  try {
    ResetQuery();
    KMQuery1->GetSQL().Add("use " + QuoteIdentifier(Name));
    KMQuery1->ExecSQL();
    return nkDatabase;
  } catch (...) {
    return nkDatabaseDamaged;
  }
}

void TForm1::ComposeServerName(const std::string& Server, const std::string& Instance) {
  ServerName = app::ComposeServerName(Server, Instance);
}

void TForm1::ShowNodeDetails() {
  TextList list;
  DisableDatabaseCommands();
  const int kind = SelectedNodeKind();
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
      EnableDatabaseCommands();
      ShowDatabaseDetails();
      break;
    case nkDatabaseOffline:
    case nkDatabaseDamaged:
      DisableDatabaseCommands();
      SetCommandEnabled(QStringLiteral("Włącz bazę"), true);
      ShowDatabaseDetails();
      break;
    case nkTablesFolder: {
      EnsureConnected();
      const std::string database = SelectedDatabase();
      if (database.empty()) break;
      QueryTablesToList(list, "sp_tables @table_type = \"'TABLE'\"", database);
      if (!list.empty()) {
        ShowTableList(list);
        FillFolder(TreeView1->currentItem(), nkTable, list, 3);
      }
      break;
    }
    case nkTable:
      ShowTable();
      break;
    case nkUsersFolder: {
      EnsureConnected();
      TreeReady = false;
      try {
        const std::string database = SelectedDatabase();
        if (!database.empty()) {
          QueryToList(list, "sp_helpuser", database);
          FillFolder(TreeView1->currentItem(), nkUser, list, 1);
          QueryToList(list, "sp_helpuser", database);
          ShowUserList(list);
        }
      } catch (...) {
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

// Replaces a folder's child nodes of the given kind by one node per distinct text of column
// Column (counted from 1) of List.
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
    for (size_t row = 1; row + columns - 1 < List.size(); row += columns)
      if (added.insert(List[row + Column - 1]).second)
        AddNode(Folder, List[row + Column - 1], ChildImage, ChildImage);
  }
  TreeView1->setCurrentItem(Folder);
  TreeReady = ready;
}

int TForm1::SelectedNodeKind() {
  QTreeWidgetItem* node = TreeView1->currentItem();
  return node ? NodeSelectedImage(node) : 0;
}

std::string TForm1::SelectedDatabase() {
  for (QTreeWidgetItem* node = TreeView1->currentItem(); node; node = node->parent())
    if (IsDatabaseKind(NodeSelectedImage(node))) return StripStateSuffix(node->text(0).toStdString());
  return {};
}

std::string TForm1::SelectedDatabaseNode() {
  QTreeWidgetItem* node = TreeView1->currentItem();
  if (!node || !IsDatabaseKind(NodeSelectedImage(node))) return {};
  return StripStateSuffix(node->text(0).toStdString());
}

std::string TForm1::SelectedNodeText() {
  QTreeWidgetItem* node = TreeView1->currentItem();
  return node ? node->text(0).toStdString() : std::string();
}

std::string TForm1::SelectedLoginName() {
  QTreeWidgetItem* node = TreeView1->currentItem();
  return node && NodeSelectedImage(node) == nkLogin ? node->text(0).toStdString() : std::string();
}

}  // namespace vandrel::app
