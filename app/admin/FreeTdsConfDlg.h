#pragma once
// The FreeTDS configuration the client uses, where this platform keeps the network libraries'
// settings: the user's freetds.conf and the system's, each with where it is, its servers and
// its text; servers added, changed and removed through the same mapping the data sources use
// (FreeTdsConf.h), a refresh, and a button that opens the shown file in the desktop's default
// application for it.
#include <QDialog>
#include <functional>

#include "platform/FreeTdsConf.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;

namespace vandrel::app {
class TCommandContext;
}

namespace vandrel::app::admin {

class TFreeTdsConfDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TFreeTdsConfDlg(QWidget* Parent);

  QTabWidget* Files = nullptr;
  // Per tab (0 the user's file, 1 the system's): where the file is and what it holds.
  QLabel* Paths[2] = {};
  QPlainTextEdit* Texts[2] = {};
  QTreeWidget* Servers[2] = {};  // columns: name, host, port, instance
  QPushButton* AddButton = nullptr;
  QPushButton* ChangeButton = nullptr;
  QPushButton* RemoveButton = nullptr;
  QPushButton* RefreshButton = nullptr;
  QPushButton* OpenButton = nullptr;
  QPushButton* CloseButton = nullptr;

  // Reads both files again; the tab shown is the first file that exists, the one FreeTDS
  // reads first.
  void Reload();
  QString ShownFile() const;
  void AddServer();
  void ChangeServer();
  void RemoveServer();

 private:
  void UpdateOpenButton();
  // The server selected on the shown tab; empty when none is.
  QString SelectedServer() const;
  // Runs a change of the shown file, says why it failed, and reads the files again.
  void ChangeFile(const std::function<void(platform::TFreeTdsConf&)>& Change);
  QString FFiles[2];
};

void ShowFreeTdsConfiguration(TCommandContext& Context);

}  // namespace vandrel::app::admin
