#include "app/clientsetup/NetworkConnection.h"

#include <QCheckBox>
#include <QComboBox>

#include "app/DialogSeam.h"
#include "app/admin/AttachDetach.h"
#include "app/clientsetup/PasswordDlg2.h"
#include "app/clientsetup/TovinexLogin.h"
#include "app/clientsetup/TovinexRegistry.h"
#include "app/clientsetup/TovinexSource.h"

namespace vandrel::app::clientsetup {

void CreateTovinexConnection(TCommandContext& Context) {
  TPasswordDlg2& Dlg = TPasswordDlg2::Of(Context);
  Dlg.ComboBox3->setEditText(QString());
  TextList Names;
  Context.UserDatabaseNames(Names);
  Dlg.ComboBox3->clear();
  for (const std::string& Name : Names) Dlg.ComboBox3->addItem(QString::fromStdString(Name));
  Dlg.ComboBox3->setCurrentIndex(-1);
  Dlg.ComboBox3->setEditText(QString());
  const std::string Selected = Context.FindUserDatabase(Names, "");
  if (!Selected.empty()) Dlg.ComboBox3->setEditText(QString::fromStdString(Selected));
  // The server as the user named it: "(local)" stays "(local)", whatever the driver was given.
  Dlg.ComboBox2->setEditText(QString::fromStdString(ServerAsReached(Context)));
  Dlg.FormShow();
  if (DialogSeam::Current().ExecDialog(&Dlg) != QDialog::Accepted) return;

  const std::string Database = Dlg.ComboBox3->currentText().toStdString();
  const TNetworkLibrary Library = Dlg.ComboBox1->currentText() == QStringLiteral("Gniazda TCP/IP")
                                      ? TNetworkLibrary::TcpIp
                                      : TNetworkLibrary::NamedPipes;
  const QString Caption = QStringLiteral("Nowe połączenie Tovinex");
  const QString Name = QString::fromStdString(Database);
  // Tovinex logs in with UserId: it names the database's Tovinex login. A store that cannot
  // be read leaves the server to say; its write below reports the store.
  std::string Stored, Why;
  try {
    Stored = StoredUserId(Database);
  } catch (const std::exception&) {
  }
  std::string Login = NetworkLogin(Context, Database, Stored, Why);
  if (Login.empty() && !Why.empty()) {
    ShowMessage(Context.DialogParent(),
                QStringLiteral("Nie utworzono połączenia sieciowego Tovinex dla bazy \"%1\": nie zapisano żadnego "
                               "wpisu.\n\n%2")
                    .arg(Name, QString::fromStdString(Why)),
                Caption, MsgIcon::Error);
    return;
  }
  if (Login.empty()) {
    // No login of the database's own: made as an attach makes it, when the user says so.
    if (!Confirm(Context.DialogParent(),
                 QStringLiteral("Baza \"%1\" nie ma loginu Tovinex. Czy utworzyć go tak, jak przy podłączaniu bazy "
                                "(login nazwany jak baza, z hasłem Tovinex tej bazy, jego użytkownik w bazie i baza "
                                "\"%1\" jako domyślna)?\n\n\"Nie\": nic nie zostanie zapisane.")
                     .arg(Name),
                 Caption))
      return;
    const admin::TSetUpResult Made = admin::MakeTovinexLogin(Context, Database);
    Context.RunStep("use master");
    if (Made.Outcome != TStepOutcome::soDone) {
      ShowMessage(Context.DialogParent(),
                  QStringLiteral("Nie utworzono loginu Tovinex dla bazy \"%1\" i nie zapisano żadnego wpisu: %2")
                      .arg(Name, QString::fromStdString(admin::SetUpFailureText(Made))),
                  Caption, MsgIcon::Error);
      return;
    }
    Login = Made.Login;
  }
  const std::string Server = Dlg.ComboBox2->currentText().toStdString();
  const TClientFiles Files;
  if (!WriteTovinexEntries(Context, Database, Login, Server, Library, Dlg.BlokadaCheck->isChecked()))
    return;  // nothing was written, and the message said why
  const QString Summary = TovinexSourceSummary(Database, Login, Server, Files.Changed());
  // Said made only once a workstation's way in has been tried: the data source, the login
  // and the Tovinex password, through the driver manager.
  std::string Failure;
  if (!TestTovinexSource(Database, Login, Failure)) {
    ShowMessage(Context.DialogParent(),
                QStringLiteral("Wpisy połączenia sieciowego Tovinex zostały zapisane, ale źródło danych \"%1\" nie "
                               "łączy się z serwerem:\n%2\n\n%3")
                    .arg(Name, QString::fromStdString(Failure), Summary),
                Caption, MsgIcon::Error);
    return;
  }
  ShowMessage(Context.DialogParent(), QStringLiteral("Utworzono połączenie sieciowe Tovinex\n\n") + Summary, Caption,
              MsgIcon::Information);
}

}  // namespace vandrel::app::clientsetup
