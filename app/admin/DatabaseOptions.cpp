#include "app/admin/DatabaseOptions.h"

#include <QComboBox>
#include <QLineEdit>
#include <memory>
#include <vector>

#include "app/DialogSeam.h"
#include "app/MainWindow.h"
#include "app/SqlQuoting.h"
#include "app/admin/InUseGuard.h"
#include "app/admin/OKBottomDlg.h"

namespace vandrel::app::admin {
namespace {

const QString kOn = QStringLiteral("Włączony");
const QString kOff = QStringLiteral("Wyłączony");

// An option's control and the statement suffix for each of its texts (exact comparison).
struct Option {
  QComboBox* Control;
  std::vector<std::pair<QString, std::string>> Suffixes;
};

Option OnOff(QComboBox* Control, const std::string& Name) {
  return {Control, {{kOff, " SET " + Name + " OFF"}, {kOn, " SET " + Name + " ON"}}};
}

// In the order they are sent.
std::vector<Option> Options(TOKBottomDlg& d) {
  return {
      {d.ComboBox1,
       {{"MULTI_USER", " SET MULTI_USER"}, {"SINGLE_USER", " SET SINGLE_USER"}, {"RESTRICTED_USER", " SET RESTRICTED_USER"}}},
      {d.ComboBox3, {{kOff, " SET READ_WRITE"}, {kOn, " SET READ_ONLY"}}},
      OnOff(d.ComboBox4, "AUTO_CLOSE"),
      OnOff(d.ComboBox5, "AUTO_CREATE_STATISTICS"),
      OnOff(d.ComboBox6, "AUTO_SHRINK"),
      OnOff(d.ComboBox7, "AUTO_UPDATE_STATISTICS"),
      {d.ComboBox8, {{"SIMPLE", " SET RECOVERY SIMPLE"}, {"FULL", " SET RECOVERY FULL"}, {"BULK_LOGGED", " SET RECOVERY BULK_LOGGED"}}},
      OnOff(d.ComboBox9, "TORN_PAGE_DETECTION"),
  };
}

QString OnOffText(const std::string& Value, const char* OffValue) { return Value == OffValue ? kOff : kOn; }

}  // namespace

bool ReadOptions(TForm1& Form, TOKBottomDlg& Dialog, const std::string& Database) {
  bool anything = false;
  auto read = [&](const char* Property) {
    const std::string value = Form.QueryScalar(
        "SELECT CAST(DATABASEPROPERTYEX('" + EscapeLiteral(Database) + "','" + Property + "')AS nvarchar(128))",
        "master");
    anything = anything || !value.empty();
    return value;
  };
  Dialog.ComboBox1->setCurrentText(QString::fromStdString(read("UserAccess")));
  Dialog.Edit1->setText(QString::fromStdString(read("Status")));
  Dialog.ComboBox3->setCurrentText(OnOffText(read("Updateability"), "READ_WRITE"));
  Dialog.ComboBox4->setCurrentText(OnOffText(read("IsAutoClose"), "0"));
  Dialog.ComboBox5->setCurrentText(OnOffText(read("IsAutoCreateStatistics"), "0"));
  Dialog.ComboBox6->setCurrentText(OnOffText(read("IsAutoShrink"), "0"));
  Dialog.ComboBox7->setCurrentText(OnOffText(read("IsAutoUpdateStatistics"), "0"));
  Dialog.ComboBox8->setCurrentText(QString::fromStdString(read("Recovery")));
  Dialog.ComboBox9->setCurrentText(OnOffText(read("IsTornPageDetectionEnabled"), "0"));
  // Nothing read: the rules above would have turned every on/off option on, read-only
  // included, and "Zapisz" would send that; the user is told the defaults stand, so they do.
  if (!anything) Dialog.ShowDefaults();
  return anything;
}

void DatabaseOptionsCommand(TForm1& Form) {
  const std::string database = Form.SelectedDatabase();
  if (database.empty()) return;
  auto dialog = std::make_unique<TOKBottomDlg>(&Form);
  dialog->setWindowTitle(QStringLiteral("Parametry bazy \"") + QString::fromStdString(database) + "\"");
  if (!ReadOptions(Form, *dialog, database))
    ShowMessage(&Form, QStringLiteral("Nie udał się odczyt parametrów bazy, zostały przyjęte domyślne"),
                QStringLiteral("Błąd"), MsgIcon::Error);
  if (DialogSeam::Current().ExecDialog(dialog.get()) != QDialog::Accepted) return;
  if (DatabaseInUse(Form, database)) return;
  // Every option, changed or not; a refusal is shown and the rest still go.
  for (const Option& option : Options(*dialog))
    for (const auto& [text, suffix] : option.Suffixes)
      if (option.Control->currentText() == text)
        Form.ExecInDatabase("ALTER DATABASE " + QuoteIdentifier(database) + suffix, "master");
  ShowMessage(&Form, QStringLiteral("Modyfikacja parametrów bazy zakończona pomyślnie"),
              QStringLiteral("Modyfikacja parametrów bazy"), MsgIcon::Information);
  Form.RefreshTree();
}

}  // namespace vandrel::app::admin

namespace vandrel::app {

void TForm1::Parametrybazy1Click() { admin::DatabaseOptionsCommand(*this); }

}  // namespace vandrel::app
