#include "app/WindowCommands.h"

#include <QCoreApplication>
#include <QWidget>

namespace vandrel::app {

void RefreshDatabasesCommand(TCommandContext& Context) {
  if (Context.EnsureConnected()) Context.RefreshTree();
}

void Poczzserwerem1Click(TCommandContext& Context) { Context.ChooseServer(); }

void HideSystemDatabasesCommand(TCommandContext& Context) { Context.RefreshTree(); }

void ShowColumnStructureCommand(TCommandContext& Context) { Context.SetTableDisplayMode(false); }

void ShowTableContentsCommand(TCommandContext& Context) { Context.SetTableDisplayMode(true); }

void CloseCommand(TCommandContext& Context) {
  // Through the main window's close, so that its query windows are asked first.
  if (QWidget* window = Context.DialogParent())
    window->window()->close();
  else
    QCoreApplication::quit();
}

}  // namespace vandrel::app
