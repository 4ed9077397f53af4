#include "app/admin/OdbcAdminDlg.h"

#include "app/ConnectionString.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/DialogSeam.h"
#include "app/QtText.h"
#include "app/admin/FormButtons.h"
#include "app/CommandContext.h"
#include "app/OdbcDataSources.h"
#include "app/WaitCursor.h"
#include "app/admin/OdbcSourceView.h"
#include "app/clientsetup/TovinexRegistry.h"
#include "data/OdbcError.h"
#include "data/OdbcLink.h"
#include "data/Query.h"
#include "foundation/MacError.h"
#include "platform/Registry.h"

namespace vandrel::app::admin {

namespace {

const char* const kOdbcSourceList = "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources";
const char* const kOdbcSourceKey = "SOFTWARE\\ODBC\\ODBC.INI\\";
const char* const kDriverName = "SQL Server";
const QString kOdbcCaption = QStringLiteral("Źródła danych ODBC");

platform::HKEY RootOf(bool System) { return System ? platform::HKEY_LOCAL_MACHINE : platform::HKEY_CURRENT_USER; }

bool AllDigits(const std::string& Text) {
  return !Text.empty() && Text.find_first_not_of("0123456789") == std::string::npos;
}

void WriteOrDelete(platform::TRegistry& Registry, const char* Name, const std::string& Value) {
  if (Value.empty()) {
    Registry.DeleteValue(Name);
  } else {
    Registry.WriteString(Name, Value);
  }
}

// What the driver said, one diagnostic record a line ("SQLSTATE: text"); the library's own
// message when the driver said nothing.
std::string DriverMessages(const Exception& E) {
  const auto* mac = dynamic_cast<const EMException*>(&E);
  std::string text;
  for (int i = 1; mac && i < mac->GetTopicCount(); ++i) {
    const auto* driver = dynamic_cast<const EMOdbcDriverError*>(mac->GetTopics(i));
    if (!driver) continue;
    if (!text.empty()) text += "\n";
    text += driver->SqlState + ": " + driver->Message;
  }
  return text.empty() ? E.Message : text;
}

std::string S(const QString& Text) { return Text.trimmed().toStdString(); }

}  // namespace

TOdbcSource ReadOdbcSource(bool System, const std::string& Name) {
  TOdbcSource source;
  source.System = System;
  source.Name = Name;
  source.TdsVersion.clear();
  source.Charset.clear();
  platform::TRegistry registry(RootOf(System));
  if (!registry.OpenKeyReadOnly(kOdbcSourceKey + Name)) return source;
  source.Server = registry.ReadString("Server");
  // "host,port" is the SQL Server client's way of naming a port; the manager shows it apart.
  const size_t comma = source.Server.rfind(',');
  if (comma != std::string::npos && AllDigits(source.Server.substr(comma + 1))) {
    source.Port = source.Server.substr(comma + 1);
    source.Server.resize(comma);
  } else {
    source.Port = registry.ReadString("Port");  // a data source written by hand may name it so
  }
  source.Database = registry.ReadString("Database");
  source.TdsVersion = registry.ReadString("TDS_Version");
  source.Charset = registry.ReadString("ClientCharset");
  return source;
}

bool WriteOdbcSource(QWidget* Parent, const TOdbcSource& Source) {
  const std::string driver = clientsetup::OdbcDriverPath(Parent, kDriverName);
  if (driver.empty()) return false;
  platform::TRegistry registry(RootOf(Source.System));
  if (!registry.OpenKey(kOdbcSourceList, true)) throw EMRegistryError("Nie można otworzyć listy źródeł danych ODBC");
  registry.WriteString(Source.Name, kDriverName);
  if (!registry.OpenKey(kOdbcSourceKey + Source.Name, true))
    throw EMRegistryError("Nie można utworzyć źródła danych " + Source.Name);
  // The driver first: the server of a FreeTDS data source is then kept as its section.
  registry.WriteString("Driver", driver);
  registry.WriteString("Server", Source.Port.empty() ? Source.Server : Source.Server + "," + Source.Port);
  registry.DeleteValue("Port");  // the port is the server section's now
  WriteOrDelete(registry, "Database", Source.Database);
  WriteOrDelete(registry, "TDS_Version", Source.TdsVersion);
  WriteOrDelete(registry, "ClientCharset", Source.Charset);
  return true;
}

void DeleteOdbcSource(bool System, const std::string& Name) {
  platform::TRegistry registry(RootOf(System));
  registry.DeleteKey(kOdbcSourceKey + Name);
  if (registry.OpenKey(kOdbcSourceList, false)) registry.DeleteValue(Name);
}

namespace {

// The link connects with exactly Connection, never asking the user.
void UseConnectionString(TMOdbcLink& Link, const std::string& Connection) {
  Link.SetConnectionTimeout(15);
  Link.OnGetConnectString = [Connection](TMOdbcLink*, AnsiString& AConnectString, const AnsiString, const AnsiString,
                                         const AnsiString, TMOdbcConnectOption& AOption, HWND&) {
    AConnectString = Connection;
    AOption = mcoNoPrompt;
  };
}

}  // namespace

bool TestOdbcConnection(const std::string& Connection, std::string& Failure) {
  TMOdbcLink link;
  UseConnectionString(link, Connection);
  try {
    link.SetConnected(true);
    link.SetConnected(false);
    return true;
  } catch (const Exception& e) {
    Failure = DriverMessages(e);
    return false;
  }
}

bool TestOdbcSource(const std::string& Name, const std::string& User, const std::string& Password,
                    std::string& Outcome) {
  for (const auto& [caption, value] : {std::pair<const char*, const std::string&>{"Użytkownik", User}, {"Hasło", Password}}) {
    Outcome = ConnectionValueProblem(caption, value);
    if (!Outcome.empty()) return false;
  }
  const std::string connection = "DSN=" + BraceConnectionValue(Name) + ";UID=" + BraceConnectionValue(User) +
                                 ";PWD=" + BraceConnectionValue(Password) + ";";
  TMOdbcLink link;
  UseConnectionString(link, connection);
  try {
    link.SetConnected(true);
    TKMQuery query;
    query.SetLink(&link);
    query.GetSQL().Add("select @@SERVERNAME, db_name()");
    query.Open();
    const std::string server = query.GetFields()->GetFields(0)->GetEditText();
    const std::string database = query.GetFields()->GetFields(1)->GetEditText();
    query.Close();
    Outcome = "Połączenie ze źródłem danych \"" + Name + "\" udane.\nSerwer: " + server + "\nBaza danych: " + database;
    return true;
  } catch (const Exception& e) {
    Outcome = "Nie udało się połączyć ze źródłem danych \"" + Name + "\":\n" + DriverMessages(e);
    return false;
  }
}

TOdbcSourceDlg::TOdbcSourceDlg(QWidget* Parent, const TOdbcSource& Source, bool Editing) : QDialog(Parent) {
  setObjectName("OdbcSourceDlg");
  setWindowTitle(Editing ? QStringLiteral("Źródło danych ") + Q(Source.Name) : QStringLiteral("Nowe źródło danych"));
  auto* form = new QFormLayout;
  NameEdit = new QLineEdit(Q(Source.Name));
  NameEdit->setEnabled(!Editing);
  form->addRow(QStringLiteral("Nazwa:"), NameEdit);
  UserButton = new QRadioButton(QStringLiteral("użytkownika"));
  SystemButton = new QRadioButton(QStringLiteral("systemowe"));
  (Source.System ? SystemButton : UserButton)->setChecked(true);
  UserButton->setEnabled(!Editing);
  SystemButton->setEnabled(!Editing);
  auto* kinds = new QHBoxLayout;
  kinds->addWidget(UserButton);
  kinds->addWidget(SystemButton);
  kinds->addStretch();
  form->addRow(QStringLiteral("Rodzaj:"), kinds);
  ServerEdit = new QLineEdit(Q(Source.Server));
  form->addRow(QStringLiteral("Serwer:"), ServerEdit);
  PortEdit = new QLineEdit(Q(Source.Port));
  PortEdit->setPlaceholderText(QStringLiteral("domyślny"));
  form->addRow(QStringLiteral("Port:"), PortEdit);
  DatabaseEdit = new QLineEdit(Q(Source.Database));
  form->addRow(QStringLiteral("Baza danych:"), DatabaseEdit);
  TdsVersionBox = new QComboBox;
  TdsVersionBox->setEditable(true);
  TdsVersionBox->addItems({"7.0", "7.1", "7.2", "7.3", "7.4"});
  TdsVersionBox->setEditText(Q(Source.TdsVersion));
  form->addRow(QStringLiteral("Wersja TDS:"), TdsVersionBox);
  CharsetBox = new QComboBox;
  CharsetBox->setEditable(true);
  CharsetBox->addItems({"UTF-8", "CP1250", "ISO-8859-2"});
  CharsetBox->setEditText(Q(Source.Charset));
  form->addRow(QStringLiteral("Zestaw znaków:"), CharsetBox);

  AddFormButtons(this, form, OkButton, CancelButton, [this] { return Check(); });
}

TOdbcSource TOdbcSourceDlg::Source() const {
  TOdbcSource source;
  source.System = SystemButton->isChecked();
  source.Name = S(NameEdit->text());
  source.Server = S(ServerEdit->text());
  source.Port = S(PortEdit->text());
  source.Database = S(DatabaseEdit->text());
  source.TdsVersion = S(TdsVersionBox->currentText());
  source.Charset = S(CharsetBox->currentText());
  return source;
}

bool TOdbcSourceDlg::Check() {
  const TOdbcSource source = Source();
  QString wrong;
  if (source.Name.empty() || source.Name.find_first_of("[]") != std::string::npos ||
      QString::fromStdString(source.Name).compare("ODBC Data Sources", Qt::CaseInsensitive) == 0) {
    wrong = QStringLiteral("Nazwa źródła danych nie może być pusta ani zawierać nawiasów kwadratowych.");
  } else if (source.Server.empty() || source.Server.find(',') != std::string::npos) {
    wrong = QStringLiteral("Podaj serwer: nazwę komputera lub adres (port w polu \"Port:\").");
  } else if (!source.Port.empty() && (!AllDigits(source.Port) || source.Port.size() > 5 ||
                                      std::stoi(source.Port) < 1 || std::stoi(source.Port) > 65535)) {
    wrong = QStringLiteral("Port musi być liczbą od 1 do 65535.");
  } else if (!source.TdsVersion.empty() &&
             source.TdsVersion.find_first_not_of("0123456789.") != std::string::npos) {
    wrong = QStringLiteral("Wersja TDS to liczba, np. 7.1.");
  }
  if (wrong.isEmpty()) return true;
  ShowMessage(this, wrong, kOdbcCaption, MsgIcon::Warning);
  return false;
}

TOdbcAdminDlg::TOdbcAdminDlg(QWidget* Parent) : QDialog(Parent) {
  setObjectName("OdbcAdminDlg");
  setWindowTitle(kOdbcCaption);
  Sources = new QTreeWidget;
  Sources->setObjectName("Sources");
  Sources->setRootIsDecorated(false);
  Sources->setHeaderLabels({QStringLiteral("Nazwa"), QStringLiteral("Rodzaj"), QStringLiteral("Sterownik"),
                            QStringLiteral("Serwer"), QStringLiteral("Baza danych")});
  Sources->header()->setSectionResizeMode(QHeaderView::ResizeToContents);

  AddButton = new QPushButton(QStringLiteral("Dodaj..."));
  EditButton = new QPushButton(QStringLiteral("Edytuj..."));
  DeleteButton = new QPushButton(QStringLiteral("Usuń"));
  TestButton = new QPushButton(QStringLiteral("Testuj"));
  CloseButton = new QPushButton(QStringLiteral("Zamknij"));
  AddButton->setObjectName("AddButton");
  EditButton->setObjectName("EditButton");
  DeleteButton->setObjectName("DeleteButton");
  TestButton->setObjectName("TestButton");
  CloseButton->setObjectName("CloseButton");
  auto* side = new QVBoxLayout;
  for (QPushButton* b : {AddButton, EditButton, DeleteButton, TestButton}) side->addWidget(b);
  side->addStretch();
  side->addWidget(CloseButton);

  UserEdit = new QLineEdit(QStringLiteral("sa"));
  PasswordEdit = new QLineEdit;
  PasswordEdit->setEchoMode(QLineEdit::Password);
  auto* login = new QHBoxLayout;
  login->addWidget(new QLabel(QStringLiteral("Test jako użytkownik:")));
  login->addWidget(UserEdit);
  login->addWidget(new QLabel(QStringLiteral("Hasło:")));
  login->addWidget(PasswordEdit);

  auto* grid = new QGridLayout(this);
  grid->addWidget(Sources, 0, 0);
  grid->addLayout(side, 0, 1);
  grid->addLayout(login, 1, 0, 1, 2);
  resize(760, 380);

  connect(AddButton, &QPushButton::clicked, this, &TOdbcAdminDlg::AddSource);
  connect(EditButton, &QPushButton::clicked, this, &TOdbcAdminDlg::EditSource);
  connect(DeleteButton, &QPushButton::clicked, this, &TOdbcAdminDlg::DeleteSource);
  connect(TestButton, &QPushButton::clicked, this, &TOdbcAdminDlg::TestSource);
  connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(Sources, &QTreeWidget::itemSelectionChanged, this, &TOdbcAdminDlg::UpdateButtons);
  connect(Sources, &QTreeWidget::itemDoubleClicked, this, &TOdbcAdminDlg::EditSource);
  Reload();
}

void TOdbcAdminDlg::Reload() {
  Sources->clear();
  FEntries.clear();
  for (const bool system : {false, true}) {
    std::vector<TOdbcSourceEntry> entries;
    try {
      entries = ReadOdbcSourceFile(system);
    } catch (const std::exception& e) {
      ShowMessage(this, Q(e.what()), kOdbcCaption, MsgIcon::Error);  // the file and why it cannot be read
    }
    for (TOdbcSourceEntry& listed : entries) {
      // A "SQL Server" data source is read through the registry's mapping, as it is written;
      // another driver's shows its own keys.
      TOdbcSource source;
      source.Name = listed.Name;
      if (listed.FreeTds) {
        try {
          source = ReadOdbcSource(system, listed.Name);
        } catch (const std::exception&) {
        }
      } else {
        for (const auto& [key, value] : listed.Keys) {
          if (QString::fromStdString(key).compare("Server", Qt::CaseInsensitive) == 0) source.Server = value;
          if (QString::fromStdString(key).compare("Database", Qt::CaseInsensitive) == 0) source.Database = value;
        }
      }
      auto* item = new QTreeWidgetItem(Sources);
      item->setText(0, Q(listed.Name));
      item->setText(1, system ? QStringLiteral("systemowe") : QStringLiteral("użytkownika"));
      item->setText(2, Q(listed.Driver));
      item->setText(3, Q(source.Port.empty() ? source.Server : source.Server + "," + source.Port));
      item->setText(4, Q(source.Database));
      item->setData(0, Qt::UserRole, system);
      item->setData(0, Qt::UserRole + 1, static_cast<int>(FEntries.size()));
      FEntries.push_back(std::move(listed));
    }
  }
  UpdateButtons();
}

const TOdbcSourceEntry* TOdbcAdminDlg::SelectedEntry() const {
  QTreeWidgetItem* item = Sources->currentItem();
  if (!item || !item->isSelected()) return nullptr;
  return &FEntries[static_cast<size_t>(item->data(0, Qt::UserRole + 1).toInt())];
}

TOdbcSource TOdbcAdminDlg::Selected() const {
  TOdbcSource source;
  if (QTreeWidgetItem* item = Sources->currentItem(); item && item->isSelected()) {
    source.Name = S(item->text(0));
    source.System = item->data(0, Qt::UserRole).toBool();
  }
  return source;
}

void TOdbcAdminDlg::Select(const TOdbcSource& Source) {
  for (int i = 0; i < Sources->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = Sources->topLevelItem(i);
    if (S(item->text(0)) == Source.Name && item->data(0, Qt::UserRole).toBool() == Source.System) {
      Sources->setCurrentItem(item);
      return;
    }
  }
}

void TOdbcAdminDlg::UpdateButtons() {
  const bool chosen = !Selected().Name.empty();
  EditButton->setEnabled(chosen);
  DeleteButton->setEnabled(chosen);
  TestButton->setEnabled(chosen);
}

bool TOdbcAdminDlg::Save(const TOdbcSource& Source) {
  try {
    if (!WriteOdbcSource(this, Source)) return false;
  } catch (const std::exception& e) {
    ShowMessage(this, QStringLiteral("Błąd zapisu źródła danych \"") + Q(Source.Name) + "\":\n" + Q(e.what()),
                kOdbcCaption, MsgIcon::Error);
    Reload();
    return false;
  }
  Reload();
  Select(Source);
  return true;
}

void TOdbcAdminDlg::AddSource() {
  TOdbcSource fresh;
  for (;;) {
    TOdbcSourceDlg dialog(this, fresh, false);
    if (DialogSeam::Current().ExecDialog(&dialog) != QDialog::Accepted) return;
    fresh = dialog.Source();
    bool taken = false;
    try {
      taken = platform::TRegistry(RootOf(fresh.System)).KeyExists(kOdbcSourceKey + fresh.Name);
    } catch (const std::exception&) {
    }
    if (!taken) break;
    ShowMessage(this, QStringLiteral("Źródło danych \"") + Q(fresh.Name) + QStringLiteral("\" już istnieje."), kOdbcCaption,
                MsgIcon::Warning);
  }
  Save(fresh);
}

void TOdbcAdminDlg::EditSource() {
  const TOdbcSource chosen = Selected();
  if (chosen.Name.empty()) return;
  if (const TOdbcSourceEntry* entry = SelectedEntry(); entry && !entry->FreeTds) {
    TOdbcSourceView view(this, *entry);  // another driver's data source is only looked at
    DialogSeam::Current().ExecDialog(&view);
    return;
  }
  TOdbcSource current;
  try {
    current = ReadOdbcSource(chosen.System, chosen.Name);
  } catch (const std::exception& e) {
    ShowMessage(this, Q(e.what()), kOdbcCaption, MsgIcon::Error);
    return;
  }
  TOdbcSourceDlg dialog(this, current, true);
  if (DialogSeam::Current().ExecDialog(&dialog) != QDialog::Accepted) return;
  Save(dialog.Source());
}

void TOdbcAdminDlg::DeleteSource() {
  const TOdbcSource chosen = Selected();
  if (chosen.Name.empty()) return;
  if (ShowMessage(this, QStringLiteral("Usunąć źródło danych \"") + Q(chosen.Name) + "\"?", kOdbcCaption, MsgIcon::Question,
                  mbYes | mbNo) != mbYes)
    return;
  try {
    DeleteOdbcSource(chosen.System, chosen.Name);
  } catch (const std::exception& e) {
    ShowMessage(this, Q(e.what()), kOdbcCaption, MsgIcon::Error);
  }
  Reload();
}

void TOdbcAdminDlg::TestSource() {
  const TOdbcSource chosen = Selected();
  if (chosen.Name.empty()) return;
  std::string outcome;
  bool ok = false;
  {
    WaitCursor busy;
    ok = TestOdbcSource(chosen.Name, S(UserEdit->text()), PasswordEdit->text().toStdString(), outcome);
  }
  ShowMessage(this, Q(outcome), QStringLiteral("Test połączenia"), ok ? MsgIcon::Information : MsgIcon::Error);
}

void ShowOdbcDataSources(TCommandContext& Context) {
  TOdbcAdminDlg dialog(Context.DialogParent());
  DialogSeam::Current().ExecDialog(&dialog);
}

}  // namespace vandrel::app::admin
