#pragma once
// The server tree shows its nodes' texts whole: its side of the window widens to the widest
// node shown, up to a share of the window, and every node's tooltip is its whole text.
class QTreeWidget;

namespace vandrel::app {

void FitTreeToItsTexts(QTreeWidget* Tree);

}  // namespace vandrel::app
