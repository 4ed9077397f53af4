#include "app/TreeWidth.h"

#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <algorithm>

namespace vandrel::app {
namespace {

// The width the nodes shown (those whose parents are all open) take with their icons.
int ShownTextsWidth(const QTreeWidget* Tree) {
  const int icon = Tree->iconSize().isValid() ? Tree->iconSize().width()
                                              : Tree->style()->pixelMetric(QStyle::PM_SmallIconSize);
  constexpr int kMargins = 12;  // beside the icon and after the text
  int widest = 0;
  for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(Tree)); *it; ++it) {
    int depth = Tree->rootIsDecorated() ? 1 : 0;
    bool shown = true;
    for (const QTreeWidgetItem* parent = (*it)->parent(); parent; parent = parent->parent(), ++depth)
      shown = shown && parent->isExpanded();
    if (shown)
      widest = std::max(widest, depth * Tree->indentation() + icon + kMargins +
                                    Tree->fontMetrics().horizontalAdvance((*it)->text(0)));
  }
  return widest;
}

}  // namespace

void FitTreeToItsTexts(QTreeWidget* Tree) {
  for (QTreeWidgetItemIterator it(Tree); *it; ++it) (*it)->setToolTip(0, (*it)->text(0));
  auto* splitter = qobject_cast<QSplitter*>(Tree->parentWidget());
  if (!splitter || splitter->count() < 2 || splitter->widget(0) != Tree) return;
  QList<int> sizes = splitter->sizes();
  // At most two fifths of the window, so that the list keeps the larger part; never narrower
  // than the user made it.
  const int limit = std::max(sizes[0], (sizes[0] + sizes[1]) * 2 / 5);
  const int needed = ShownTextsWidth(Tree) + 2 * Tree->frameWidth() + Tree->verticalScrollBar()->sizeHint().width();
  const int wanted = std::min(needed, limit);
  if (wanted <= sizes[0]) return;
  sizes[1] -= wanted - sizes[0];
  sizes[0] = wanted;
  splitter->setSizes(sizes);
}

}  // namespace vandrel::app
