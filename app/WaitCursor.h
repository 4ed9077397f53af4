#pragma once
// Shows the busy cursor while a statement runs on the GUI thread.
#include <QApplication>
#include <QCursor>

namespace vandrel::app {

class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace vandrel::app
