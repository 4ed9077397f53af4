// The tree keeps what the user had open across a rebuild: the expanded nodes and the
// selection come back, found by what they stand for, not by their texts or positions. A
// folder of tables or users that was open is filled again, as selecting it would.
#include <QTreeWidget>

#include "app/MainWindow.h"

namespace vandrel::app {
namespace {

template <typename Visit>
void EachNode(QTreeWidget* Tree, Visit&& visit) {
  std::vector<QTreeWidgetItem*> pending;
  for (int i = Tree->topLevelItemCount() - 1; i >= 0; --i) pending.push_back(Tree->topLevelItem(i));
  while (!pending.empty()) {
    QTreeWidgetItem* node = pending.back();
    pending.pop_back();
    visit(node);  // may add children, which are then visited too
    for (int i = node->childCount() - 1; i >= 0; --i) pending.push_back(node->child(i));
  }
}

}  // namespace

TForm1::TTreeMemory TForm1::RememberTree() const {
  TTreeMemory memory;
  EachNode(TreeView1, [&memory](QTreeWidgetItem* node) {
    const std::string key = NodeIdentity(node).Key();
    memory.Known.insert(key);
    if (node->isExpanded()) memory.Expanded.insert(key);
  });
  for (QTreeWidgetItem* node = TreeView1->currentItem(); node; node = node->parent())
    memory.SelectedPath.push_back(NodeIdentity(node).Key());
  return memory;
}

void TForm1::RestoreTree(const TTreeMemory& Memory) {
  std::map<std::string, QTreeWidgetItem*> found;
  std::vector<std::pair<QTreeWidgetItem*, bool>> expansion;
  EachNode(TreeView1, [&](QTreeWidgetItem* node) {
    const TNodeIdentity id = NodeIdentity(node);
    const std::string key = id.Key();
    found.emplace(key, node);
    if (!Memory.Known.count(key)) return;  // new since: as the rebuild left it
    const bool expanded = Memory.Expanded.count(key) > 0;
    if (expanded) {
      TextList list;
      if (id.Kind == nkTablesFolder) FillTablesFolder(node, list);
      if (id.Kind == nkUsersFolder) FillUsersFolder(node, list);
    }
    expansion.emplace_back(node, expanded);
  });
  // Only once every folder is filled: filling one selects it, and a window on screen opens
  // the nodes above what it selects, a database the user had closed among them.
  for (const auto& [node, expanded] : expansion) node->setExpanded(expanded);
  // The selected node, or the nearest of its ancestors that is still there.
  for (const std::string& key : Memory.SelectedPath) {
    auto at = found.find(key);
    if (at == found.end()) continue;
    TreeView1->setCurrentItem(at->second);
    return;
  }
  TreeView1->setCurrentItem(nullptr);
}

}  // namespace vandrel::app
