#include "app/WindowCommands.h"

#include <QCoreApplication>

namespace vandrel::app {

void RefreshDatabasesCommand(TCommandContext& Context) {
  if (Context.EnsureConnected()) Context.RefreshTree();
}

void Poczzserwerem1Click(TCommandContext& Context) { Context.ChooseServer(); }

void HideSystemDatabasesCommand(TCommandContext& Context) { Context.RefreshTree(); }

void ShowColumnStructureCommand(TCommandContext& Context) { Context.SetTableDisplayMode(false); }

void ShowTableContentsCommand(TCommandContext& Context) { Context.SetTableDisplayMode(true); }

void CloseCommand(TCommandContext&) { QCoreApplication::quit(); }

}  // namespace vandrel::app
