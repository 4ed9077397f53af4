#pragma once
// The tool's own ODBC data source manager: the user's and the system's data sources as their
// files hold them at the moment; a "SQL Server" data source added, edited or deleted through the
// registry's ODBC mapping, the one the Tovinex client set-up writes through (the server kept
// as a freetds.conf section); and a test that connects through a data source and says what
// happened. Another driver's data source is shown as it is, never rewritten.
#include <QDialog>
#include <string>
#include <vector>

#include "app/OdbcDataSources.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace vandrel::app {
class TCommandContext;
}

namespace vandrel::app::admin {

// One data source as the manager edits it.
struct TOdbcSource {
  bool System = false;
  std::string Name, Server, Port, Database, TdsVersion = "7.1", Charset = "UTF-8";
};

// Reads, writes and deletes a data source under its root; failures raise EMRegistryError.
TOdbcSource ReadOdbcSource(bool System, const std::string& Name);
// False, after the driver's own message, when the driver "SQL Server" is not installed.
bool WriteOdbcSource(QWidget* Parent, const TOdbcSource& Source);
void DeleteOdbcSource(bool System, const std::string& Name);
// Connects through the data source and tells the outcome in words.
bool TestOdbcSource(const std::string& Name, const std::string& User, const std::string& Password,
                    std::string& Outcome);

// A data source's fields.
class TOdbcSourceDlg : public QDialog {
  Q_OBJECT
 public:
  // Editing keeps the name and the kind of the data source.
  TOdbcSourceDlg(QWidget* Parent, const TOdbcSource& Source, bool Editing);

  QLineEdit* NameEdit = nullptr;
  QRadioButton* UserButton = nullptr;
  QRadioButton* SystemButton = nullptr;
  QLineEdit* ServerEdit = nullptr;
  QLineEdit* PortEdit = nullptr;
  QLineEdit* DatabaseEdit = nullptr;
  QComboBox* TdsVersionBox = nullptr;
  QComboBox* CharsetBox = nullptr;
  QPushButton* OkButton = nullptr;
  QPushButton* CancelButton = nullptr;

  // The fields as entered (blanks around them dropped).
  TOdbcSource Source() const;

 private:
  // Names the first field that cannot be written, or returns true.
  bool Check();
};

class TOdbcAdminDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TOdbcAdminDlg(QWidget* Parent);

  // Columns: name, kind ("użytkownika" / "systemowe"), driver, server, database.
  QTreeWidget* Sources = nullptr;
  QLineEdit* UserEdit = nullptr;
  QLineEdit* PasswordEdit = nullptr;
  QPushButton* AddButton = nullptr;
  QPushButton* EditButton = nullptr;
  QPushButton* DeleteButton = nullptr;
  QPushButton* TestButton = nullptr;
  QPushButton* CloseButton = nullptr;

  void Reload();
  void AddSource();
  void EditSource();
  void DeleteSource();
  void TestSource();

 private:
  // The selected data source (an empty name when none is selected).
  TOdbcSource Selected() const;
  // The selected data source as its file holds it; null when none is selected.
  const TOdbcSourceEntry* SelectedEntry() const;
  void Select(const TOdbcSource& Source);
  void UpdateButtons();
  // Writes the dialog's fields; false when nothing was written.
  bool Save(const TOdbcSource& Source);

  std::vector<TOdbcSourceEntry> FEntries;  // the rows' data sources, as last read
};

void ShowOdbcDataSources(TCommandContext& Context);

}  // namespace vandrel::app::admin
