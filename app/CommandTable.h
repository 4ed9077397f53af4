#pragma once
// The one table of the main window's commands: each command's identifier, its menu text (a
// label only, with the mnemonic marked by "&"), the menus, pop-up menus and places in them
// where it appears, the rule that enables it, and its handler, a function of its family that
// sees the window only through TCommandContext. The menus, the tool bar and the enabling are
// built from it (MainMenus.cpp, MainWindow.cpp): no other code enables or disables a command.
#include <string>
#include <vector>

#include "app/CommandId.h"
#include "app/NodeKinds.h"

class QString;

namespace vandrel::app {

class TCommandContext;

// The menus a command can appear in. mnRepair is the "Naprawa baz danych" submenu, which
// itself appears in mnBazy and mnTreePopup.
enum class TCommandMenu { mnBazy, mnRepair, mnKonfiguracja, mnNarzedzia, mnPomoc, mnBar, mnTreePopup, mnListPopup };

// On which selected node a command may be chosen.
enum class TEnableRule {
  erAlways,           // any node, or none
  erUsableDatabase,   // a database in the normal state (or single user, or read only), selected itself
  erStoppedDatabase,  // an offline, damaged or emergency-mode database, selected itself
  erInDatabase,       // a database or any node under one (the command acts on that database)
  erSelectedRows,     // rows selected in the detail list (its pop-up menu's commands)
  erListRows,         // the detail list holds rows
  erKillableSessions, // the process list's selected rows hold a session of another program
  erSelectedSession,  // a session selected in the process list
};

// What a command needs besides its node (flags).
enum TCommandNeed : unsigned {
  cnNone = 0,
  // Off while a check or a repair runs, and after a connect, an attach or a detach until the
  // user chooses a node.
  cnNotDuringCheck = 1,
  // On in that time whatever the node (the read-only pair, which the check leaves usable).
  cnOnDuringCheck = 2,
  cnConnection = 4,    // off while the window has no connection to a server
  cnUserDatabase = 16, // off on a system database (master, model, msdb, tempdb)
  // The rights the server asks of the login the server accepted (read at the connect). A rule
  // that names any of them holds for a sysadmin, and for a login with any other one it names:
  // cnSysadmin alone asks for sysadmin, cnDbcreator | cnDbOwner for what ALTER DATABASE asks.
  cnSysadmin = 8,
  cnDbcreator = 32,
  cnProcessadmin = 64,
  cnDbOwner = 128,  // db_owner of the command's database
};

// A command's enabling rule: its node and its needs. A bare TEnableRule needs nothing more.
struct TCommandRule {
  constexpr TCommandRule(TEnableRule Node = TEnableRule::erAlways, unsigned Needs = cnNone)
      : Node(Node), Needs(Needs) {}
  TEnableRule Node;
  unsigned Needs;
  bool Always() const { return Node == TEnableRule::erAlways && Needs == cnNone; }
};

// What enabling reads of the window: the selected node and the window's state.
struct TEnablingState {
  TNodeIdentity Selected;
  bool InDatabase = false;  // the node is a database or lies under one
  bool Held = false;        // a check runs, or no node was chosen since a connect, attach or detach
  bool Connected = true;
  // The login's rights; true where the connect did not say otherwise. DbOwner is of the
  // selected node's database, and true while it is not known (the server then decides).
  bool Sysadmin = true, Dbcreator = true, Processadmin = true, DbOwner = true;
  bool SelectedRows = false;  // of the detail list
  bool ListRows = false;
  bool KillableSessions = false;  // neither this program's own nor the server's
  bool SelectedSession = false;
};

struct TCommandPlace {
  TCommandMenu Menu;
  int Order;                     // place in the menu, ascending
  bool SeparatorBefore = false;  // a separator line above it
};

struct TCommand {
  TCommandId Id;
  const char* Text;  // UTF-8, "&" before the mnemonic letter
  TCommandRule Rule;
  void (*Handler)(TCommandContext&);  // null: a submenu, or connected by its module (the about box)
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

// Whether a command of Rule may be chosen in State.
bool RuleHolds(const TCommandRule& Rule, const TEnablingState& State);
// Why a command of Rule that does not hold in State may not be chosen, when the login's rights
// or a system database are the reason ("wymaga uprawnień sysadmin lub processadmin"); empty
// otherwise (UTF-8).
std::string RuleRefusal(const TCommandRule& Rule, const TEnablingState& State);

}  // namespace vandrel::app
