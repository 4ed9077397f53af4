// The main window's menus, pop-up menus and tool bar, built from the command table: each
// command appears in every place the table names, in the table's order, with its handler.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <algorithm>

#include "app/CommandTable.h"
#include "app/Images.h"
#include "app/MainWindow.h"

namespace vandrel::app {

// The command's menu text is its label; the window knows the action by the command's identifier.
QAction* TForm1::AddCommand(QMenu* Menu, const TCommand& Command) {
  QAction* action = Menu->addAction(QString::fromUtf8(Command.Text));
  FCommands.emplace(Command.Id, action);
  return action;
}

// Fills Menu with the table's commands placed in Which, in their order; a submenu command
// brings its own commands along.
void TForm1::FillMenu(QMenu* Menu, TCommandMenu Which) {
  // A command held back shows why (ApplyCommandRules sets it); the others show no tip.
  Menu->setToolTipsVisible(true);
  std::vector<std::pair<int, const TCommand*>> placed;
  std::vector<bool> separators;
  for (const TCommand& command : CommandTable())
    for (const TCommandPlace& place : command.Places)
      if (place.Menu == Which) placed.emplace_back(place.Order, &command);
  std::stable_sort(placed.begin(), placed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [order, command] : placed) {
    const auto place = std::find_if(command->Places.begin(), command->Places.end(),
                                    [Which](const TCommandPlace& p) { return p.Menu == Which; });
    if (place->SeparatorBefore && !Menu->isEmpty()) Menu->addSeparator();
    if (command->Submenu) {
      QMenu* submenu = Menu->addMenu(QString::fromUtf8(command->Text));
      FCommands.emplace(command->Id, submenu->menuAction());
      FillMenu(submenu, TCommandMenu::mnRepair);
      continue;
    }
    QAction* action = AddCommand(Menu, *command);
    action->setCheckable(command->Checkable);
    action->setChecked(command->Checked);
    if (command->Image >= 0) action->setIcon(ToolBarImage(command->Image));
    if (command->Shortcut) {
      // The key works from the command's first place; the others show it without owning it,
      // so that one key never names two actions.
      action->setShortcut(QKeySequence(QString::fromLatin1(command->Shortcut)));
      if (&*place != &command->Places.front()) action->setShortcutContext(Qt::WidgetShortcut);
    }
    if (command->Handler) {
      void (*handler)(TCommandContext&) = command->Handler;
      connect(action, &QAction::triggered, this, [this, handler] {
        TCommandRun run(*this);
        handler(*this);
      });
    }
  }
}

void TForm1::CreateMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName("MainMenu1");
  FillMenu(bar->addMenu(QStringLiteral("&Bazy")), TCommandMenu::mnBazy);
  FillMenu(bar->addMenu(QStringLiteral("&Konfiguracja")), TCommandMenu::mnKonfiguracja);
  Narzdzia1 = bar->addMenu(QStringLiteral("&Narzędzia"));
  Narzdzia1->setObjectName("Narzdzia1");
  connect(Narzdzia1, &QMenu::aboutToShow, this, [this] { Narzdzia1Click(); });
  FillMenu(Narzdzia1, TCommandMenu::mnNarzedzia);
  FillMenu(bar->addMenu(QStringLiteral("&Pomoc")), TCommandMenu::mnPomoc);
  // Commands on the bar itself ("Zamknij").
  auto* barItems = new QMenu(this);
  FillMenu(barItems, TCommandMenu::mnBar);
  for (QAction* action : barItems->actions()) bar->addAction(action);

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  FillMenu(PopupMenu1, TCommandMenu::mnTreePopup);
  PopupMenu2 = new QMenu(this);
  PopupMenu2->setObjectName("PopupMenu2");
  FillMenu(PopupMenu2, TCommandMenu::mnListPopup);
}

void TForm1::CreateToolBar() {
  ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
  ToolBar1->setObjectName("ToolBar1");
  ToolBar1->setMovable(false);
  ToolBar1->setFixedHeight(28);
  ToolBar1->setIconSize(QSize(16, 16));
  for (const TToolButton& b : ToolBarButtons()) {
    QAction* action = ToolBar1->addAction(ToolBarImage(b.Image), QString());
    action->setToolTip(QString::fromUtf8(b.Hint));
    action->setObjectName(QStringLiteral("ToolButton%1").arg(b.Image + 1));
    // The button does what its twin menu command does.
    const TCommandId twin = b.Command;
    connect(action, &QAction::triggered, this, [this, twin] {
      const QList<QAction*> twins = Commands(twin);
      if (!twins.isEmpty()) twins.first()->trigger();
    });
    if (b.SeparatorAfter) ToolBar1->addSeparator();
  }
}

}  // namespace vandrel::app
