#pragma once
// "Połączenie z serwerem MSSQL": server, network library, port and login, asked at start and
// by "Połącz z serwerem...", offering the servers and users connected to before.
#include <QDialog>
#include <vector>

#include "app/RecentConnections.h"

class QCheckBox;
class QComboBox;
class QCompleter;
class QValidator;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vandrel::app {

struct ConnectionFields;

class TPasswordDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TPasswordDlg(QWidget* Owner);

  QLineEdit* Edit1;       // server
  QComboBox* Biblioteka;  // network library
  QLabel* Label5;         // "Port:" or "Pipe name:"
  QLineEdit* Port;
  QCheckBox* Dynamiczny;
  QLineEdit* Edit2;  // user
  QLineEdit* Edit3;  // password
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

  ConnectionFields Fields() const;
  // The fixed TCP port the user chose: the port text when TCP/IP is chosen and the port is
  // not assigned dynamically; empty otherwise.
  QString FixedPort() const;
  bool PortIsGrey() const;

  // The servers and users offered (newest first): a list under the server and user fields,
  // and the user last used with a server filled in when that server is chosen.
  void SetRecent(std::vector<TRecentConnection> Recent);
  QCompleter* ServerChoices = nullptr;
  QCompleter* UserChoices = nullptr;

  void DynamicznyClick();
  void BibliotekaChange();
  void Edit1Change();

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  QValidator* PortNumbers = nullptr;
  void SetPortGrey(bool Grey);
  // Sets the check box as a click would, running its handler when the state changes.
  void SetDynamiczny(bool Checked);
  void ServerChosen(const QString& Server);

  std::vector<TRecentConnection> FRecent;
};

}  // namespace vandrel::app
