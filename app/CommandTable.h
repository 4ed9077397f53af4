#pragma once
// The one table of the main window's commands: each command's identifier, its menu text (a
// label only, with the mnemonic marked by "&"), the menus, pop-up menus and places in them
// where it appears, the rule that enables it over the selected tree node, and its handler.
// The menus, the tool bar and the enabling are built from it (MainMenus.cpp, MainWindow.cpp).
#include <string>
#include <vector>

#include "app/CommandId.h"

class QString;

namespace vandrel::app {

class TForm1;
struct TNodeIdentity;

// The menus a command can appear in. mnRepair is the "Naprawa baz danych" submenu, which
// itself appears in mnBazy and mnTreePopup.
enum class TCommandMenu { mnBazy, mnRepair, mnKonfiguracja, mnNarzedzia, mnPomoc, mnBar, mnTreePopup, mnListPopup };

// When a command may be chosen.
enum class TEnableRule {
  erAlways,           // never disabled
  erUsableDatabase,   // a database in the normal state, selected itself
  erStoppedDatabase,  // an offline or damaged database, selected itself
  erInDatabase,       // a database or any node under one (the command acts on that database)
  // As erUsableDatabase and erInDatabase, but never master, model, msdb or tempdb: the state
  // commands would take the server's own databases away from it.
  erUsableUserDatabase,
  erInUserDatabase,
};

struct TCommandPlace {
  TCommandMenu Menu;
  int Order;                     // place in the menu, ascending
  bool SeparatorBefore = false;  // a separator line above it
};

struct TCommand {
  TCommandId Id;
  const char* Text;  // UTF-8, "&" before the mnemonic letter
  TEnableRule Rule;
  void (*Handler)(TForm1&);  // null: a submenu, or connected by its module (the about box)
  std::vector<TCommandPlace> Places;
  bool Submenu = false;    // "Naprawa baz danych": holds the mnRepair commands
  bool Checkable = false;  // a menu item with a check mark
  bool Checked = false;    // its mark at start
  int Image = -1;          // its picture in ImageList1 (the tool bar's), -1 for none
  const char* Shortcut = nullptr;  // its key, in Qt's portable form ("Ctrl+N")
};

const std::vector<TCommand>& CommandTable();
// The table's entry of Id.
const TCommand& CommandOf(TCommandId Id);
// The label of Id without its mnemonic marks, as messages quote it (UTF-8).
std::string CommandCaption(TCommandId Id);

// The tool bar, left to right: each button runs the given command.
struct TToolButton {
  int Image;
  const char* Hint;
  TCommandId Command;
  bool SeparatorAfter;
};
const std::vector<TToolButton>& ToolBarButtons();

// A menu text's caption: the text without its mnemonic marks ("&").
QString CaptionOf(const QString& Text);

// Whether a command of Rule may act on the selected node Selected; InDatabase tells whether
// the node is a database or lies under one.
bool RuleHolds(TEnableRule Rule, const TNodeIdentity& Selected, bool InDatabase);

}  // namespace vandrel::app
