#include "app/query/ResultGrids.h"

#include <QMenu>
#include <QSplitter>
#include <QVBoxLayout>

#include "app/ListActions.h"
#include "app/ListView.h"

namespace vandrel::app {

TResultGrids::TResultGrids(QWidget* Parent) : QWidget(Parent), FSplitter(new QSplitter(Qt::Vertical, this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(FSplitter);
  FSplitter->setChildrenCollapsible(false);
}

TListView* TResultGrids::AddGrid() {
  auto* grid = new TListView;
  grid->setAccessibleName(QStringLiteral("Wyniki"));
  grid->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(grid, &QWidget::customContextMenuRequested, this, [this, grid](const QPoint& At) { ShowMenu(grid, At); });
  FSplitter->addWidget(grid->PanelWithFilter());
  FGrids.push_back(grid);
  return grid;
}

void TResultGrids::Clear() {
  for (TListView* grid : FGrids) delete grid->parentWidget();  // its panel, with the filter
  FGrids.clear();
}

void TResultGrids::ShowMenu(TListView* Grid, const QPoint& At) {
  QMenu menu(this);
  menu.addAction(QStringLiteral("Kopiuj"), QKeySequence::Copy, Grid, [Grid] { Grid->CopyRows(false); });
  menu.addAction(QStringLiteral("Kopiuj z nagłówkiem"), Grid, [Grid] { Grid->CopyRows(true); });
  menu.addSeparator();
  menu.addAction(QStringLiteral("Zapisz jako CSV..."), Grid, [this, Grid] { SaveListAsCsv(this, *Grid); });
  menu.exec(Grid->viewport()->mapToGlobal(At));
}

}  // namespace vandrel::app
