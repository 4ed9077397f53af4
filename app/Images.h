#pragma once
// The pictures of the tool bar (ImageList1) and of the tree's node kinds (ImageList2),
// painted at run time.
#include <QIcon>

namespace vandrel::app {

QIcon ToolBarImage(int Index);  // 0..5
QIcon TreeImage(int Index);     // 1..14, by node kind

}  // namespace vandrel::app
