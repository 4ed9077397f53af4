#pragma once
// The pictures of the tool bar (ImageList1) and of the tree's node kinds (ImageList2): the
// desktop theme's icons where the theme has them, else the tool's own, with a small mark in
// the corner for a state (connection lost, offline, damaged, read-only, single user, no access,
// being restored, emergency mode) and for what a folder holds.
#include <QIcon>

#include "app/NodeKinds.h"

namespace vandrel::app {

// 0..5 the tool bar's buttons, 6 connecting, 7 copying, 8 saving; null outside.
QIcon ToolBarImage(int Index);
// 1..20, by node kind; Marks (TDatabaseMark) only for a usable database.
QIcon TreeImage(int Index, int Marks = dmNone);
// The program's own icon (window, desktop entry).
QIcon ProgramIcon();

}  // namespace vandrel::app
