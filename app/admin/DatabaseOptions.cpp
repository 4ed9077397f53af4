#include "app/admin/DatabaseOptions.h"

#include <QComboBox>
#include <QLineEdit>
#include <memory>
#include <vector>

#include "app/DialogSeam.h"
#include "app/SqlQuoting.h"
#include "app/admin/CommandReport.h"
#include "app/admin/InUseGuard.h"
#include "app/admin/OKBottomDlg.h"
#include "app/admin/StateCommands.h"

namespace vandrel::app::admin {
namespace {

const QString kOn = QStringLiteral("Włączony");
const QString kOff = QStringLiteral("Wyłączony");

// An option: its control, its label in the dialog, the database property it shows and how
// the property's value reads in the control, and the statement suffix for each of its texts
// (exact comparison).
struct Option {
  QComboBox* Control;
  const char* Label;
  const char* Property;
  const char* OffValue;  // null: the property's text itself; else "Wyłączony" for this value
  std::vector<std::pair<QString, std::string>> Suffixes;
};

Option OnOffOption(QComboBox* Control, const char* Label, const char* Property, const std::string& Name) {
  return {Control, Label, Property, "0", {{kOff, " SET " + Name + " OFF"}, {kOn, " SET " + Name + " ON"}}};
}

// In the order they are sent.
std::vector<Option> Options(TOKBottomDlg& d) {
  return {
      {d.ComboBox1, "Kontrola użytkowników", "UserAccess", nullptr,
       {{"MULTI_USER", " SET MULTI_USER"}, {"SINGLE_USER", " SET SINGLE_USER"}, {"RESTRICTED_USER", " SET RESTRICTED_USER"}}},
      {d.ComboBox3, "Tryb tylko do odczytu", "Updateability", "READ_WRITE", {{kOff, " SET READ_WRITE"}, {kOn, " SET READ_ONLY"}}},
      OnOffOption(d.ComboBox4, "AUTO_CLOSE", "IsAutoClose", "AUTO_CLOSE"),
      OnOffOption(d.ComboBox5, "AUTO_CREATE_STATISTICS", "IsAutoCreateStatistics", "AUTO_CREATE_STATISTICS"),
      OnOffOption(d.ComboBox6, "Tryb autokompresji", "IsAutoShrink", "AUTO_SHRINK"),
      OnOffOption(d.ComboBox7, "AUTO_UPDATE_STATISTICS", "IsAutoUpdateStatistics", "AUTO_UPDATE_STATISTICS"),
      {d.ComboBox8, "Recovery model", "Recovery", nullptr,
       {{"SIMPLE", " SET RECOVERY SIMPLE"}, {"FULL", " SET RECOVERY FULL"}, {"BULK_LOGGED", " SET RECOVERY BULK_LOGGED"}}},
      OnOffOption(d.ComboBox9, "Wykrywanie niekompletnych stron", "IsTornPageDetectionEnabled", "TORN_PAGE_DETECTION"),
  };
}

// The control's text for a property value read from the server.
QString ShownValue(const Option& O, const std::string& Value) {
  if (!O.OffValue) return QString::fromStdString(Value);
  return Value == O.OffValue ? kOff : kOn;
}

std::string SuffixOf(const Option& O) {
  for (const auto& [text, suffix] : O.Suffixes)
    if (O.Control->currentText() == text) return suffix;
  return {};
}

// The labels of the options from First on, whose statements did not go through; a statement
// stopped with "Przerwij" that the server carried out all the same is not among them.
QStringList NotChanged(TCommandContext& Context, const std::string& Database, const std::vector<Option>& Options, size_t First,
                       TStepOutcome Outcome) {
  QStringList labels;
  for (size_t i = First; i < Options.size(); ++i) {
    const Option& o = Options[i];
    if (i == First && Outcome == TStepOutcome::soStopped &&
        ShownValue(o, DatabaseProperty(Context, Database, o.Property)) == o.Control->currentText())
      continue;
    labels << QString::fromUtf8(o.Label);
  }
  return labels;
}

}  // namespace

bool ReadOptions(TCommandContext& Context, TOKBottomDlg& Dialog, const std::string& Database) {
  bool anything = false;
  auto read = [&](const char* Property) {
    const std::string value = DatabaseProperty(Context, Database, Property);
    anything = anything || !value.empty();
    return value;
  };
  // User access, status, then the rest in the order of the controls.
  const std::vector<Option> options = Options(Dialog);
  auto show = [&](const Option& O) { O.Control->setCurrentText(ShownValue(O, read(O.Property))); };
  show(options[0]);
  Dialog.Edit1->setText(QString::fromStdString(read("Status")));
  for (size_t i = 1; i < options.size(); ++i) show(options[i]);
  // Nothing read: the rules above would have turned every on/off option on, read-only
  // included, and "Zapisz" would send that; the user is told the defaults stand, so they do.
  if (!anything) Dialog.ShowDefaults();
  return anything;
}

void DatabaseOptionsCommand(TCommandContext& Context) {
  const std::string database = Context.SelectedDatabase();
  if (database.empty()) return;
  auto dialog = std::make_unique<TOKBottomDlg>(Context.DialogParent());
  dialog->setWindowTitle(QStringLiteral("Parametry bazy \"") + QString::fromStdString(database) + "\"");
  if (!ReadOptions(Context, *dialog, database))
    ShowMessage(Context.DialogParent(), QStringLiteral("Nie udał się odczyt parametrów bazy, zostały przyjęte domyślne"),
                QStringLiteral("Błąd"), MsgIcon::Error);
  const QString access = dialog->ComboBox1->currentText();
  if (DialogSeam::Current().ExecDialog(dialog.get()) != QDialog::Accepted) return;
  const QString caption = QStringLiteral("Modyfikacja parametrów bazy");
  // Single-user takes the database from its users, as the menu's command does, so it asks too.
  if (dialog->ComboBox1->currentText() == "SINGLE_USER" && access != "SINGLE_USER" &&
      !Confirm(Context.DialogParent(), StateQuestion(DatabaseState::SingleUser, QString::fromStdString(database)), caption))
    return;
  if (DatabaseInUse(Context, database)) return;
  // Every option, changed or not, until the first that fails or is stopped.
  const std::vector<Option> options = Options(*dialog);
  TStopReadBack readBack(Context);
  TStepOutcome outcome = TStepOutcome::soDone;
  size_t done = 0;
  for (; done < options.size(); ++done) {
    outcome = Context.ExecStep("ALTER DATABASE " + QuoteIdentifier(database) + SuffixOf(options[done]), "master");
    if (outcome != TStepOutcome::soDone) break;
  }
  const QStringList unchanged = NotChanged(Context, database, options, done, outcome);
  if (unchanged.isEmpty()) {
    ShowMessage(Context.DialogParent(), QStringLiteral("Modyfikacja parametrów bazy zakończona pomyślnie"), caption, MsgIcon::Information);
  } else {
    const QString why = outcome == TStepOutcome::soStopped ? QStringLiteral("Polecenie zostało przerwane. ") : QString();
    ShowMessage(Context.DialogParent(), why + QStringLiteral("Nie zmieniono parametrów bazy \"%1\": %2")
                                 .arg(QString::fromStdString(database), unchanged.join(", ")),
                caption, MsgIcon::Warning);
  }
  Context.RefreshTree();
}

void Parametrybazy1Click(TCommandContext& Context) { DatabaseOptionsCommand(Context); }

}  // namespace vandrel::app::admin
