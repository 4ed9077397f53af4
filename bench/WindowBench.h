#pragma once
// What a benchmark of the main window does before it makes its QApplication: windows
// offscreen, and a runtime directory of its own (without a session's, Qt would make
// /tmp/runtime-<user>).
#include <QDialog>
#include <QLineEdit>
#include <QtGlobal>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/DialogSeam.h"
#include "app/PasswordDlg.h"

inline void PrepareOffscreenWindows() {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  if (!std::getenv("XDG_RUNTIME_DIR")) {
    const std::string runtime = std::string(VANDREL_BENCH_DATA_DIR) + "/runtime";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  }
}

// The user of a window benchmark: the login is given the demo password, every other dialog and
// chooser is closed; each benchmark answers the message boxes as it needs.
class BenchDialogs : public vandrel::app::DialogSeam {
 public:
  int ExecDialog(QDialog* Dialog) override {
    if (auto* login = dynamic_cast<vandrel::app::TPasswordDlg*>(Dialog)) {
      login->Edit3->setText("demo");
      return QDialog::Accepted;
    }
    return QDialog::Rejected;
  }
  QString OpenFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
  QString SaveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
};
