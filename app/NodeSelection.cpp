// The tree's selection set by a command and another command run from one: what the site
// health's mends use to act on the database of a finding as if the user had chosen it.
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "app/MainWindow.h"
#include "app/NodeKinds.h"

namespace vandrel::app {

bool TForm1::SelectServerNode() {
  QTreeWidgetItem* server = TreeView1->topLevelItemCount() > 0 ? TreeView1->topLevelItem(0) : nullptr;
  if (server == nullptr) return false;
  TreeView1->setCurrentItem(server);
  return true;
}

bool TForm1::SelectDatabaseNode(const std::string& Database) {
  for (QTreeWidgetItemIterator it(TreeView1); *it; ++it) {
    const TNodeIdentity identity = NodeIdentity(*it);
    if (IsDatabaseKind(identity.Kind) && identity.Database == Database) {
      TreeView1->setCurrentItem(*it);
      return true;
    }
  }
  return false;
}

bool TForm1::RunCommand(TCommandId Id) {
  const QList<QAction*> places = Commands(Id);
  if (places.isEmpty() || !places.first()->isEnabled()) return false;
  places.first()->trigger();
  return true;
}

}  // namespace vandrel::app
