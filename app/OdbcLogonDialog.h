#pragma once
// The logon dialog shown where the driver manager would show its own (unixODBC has none):
// a data source from the driver manager's list, a user and a password.
#include <QDialog>

class QLineEdit;
class QListWidget;

namespace vandrel::app {

class TOdbcLogonDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TOdbcLogonDialog(QWidget* Parent);

  QListWidget* Sources;
  QLineEdit* User;
  QLineEdit* Password;

  // "DSN=...;UID=...;PWD=..." for the chosen source; empty when none is chosen.
  std::string ConnectionString() const;
};

}  // namespace vandrel::app
