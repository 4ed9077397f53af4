#include "app/clientsetup/NetworkConnection.h"

#include <QCheckBox>
#include <QComboBox>

#include "app/DialogSeam.h"
#include "app/clientsetup/PasswordDlg2.h"
#include "app/clientsetup/TovinexLogin.h"
#include "app/clientsetup/TovinexRegistry.h"

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
  const std::string Server = Context.ServerAsNamed();
  Dlg.ComboBox2->setEditText(QString::fromStdString(Server.empty() ? "(local)" : Server));
  Dlg.FormShow();
  if (DialogSeam::Current().ExecDialog(&Dlg) != QDialog::Accepted) return;

  const std::string Database = Dlg.ComboBox3->currentText().toStdString();
  const TNetworkLibrary Library = Dlg.ComboBox1->currentText() == QStringLiteral("Gniazda TCP/IP")
                                      ? TNetworkLibrary::TcpIp
                                      : TNetworkLibrary::NamedPipes;
  // Tovinex logs in with UserId: it names a login the server has and the database uses. A
  // store that cannot be read leaves the server to say; its write below reports the store.
  std::string Stored, Why;
  try {
    Stored = StoredUserId(Database);
  } catch (const std::exception&) {
  }
  const std::string Login = NetworkLogin(Context, Database, Stored, Why);
  if (Login.empty()) {
    ShowMessage(Context.DialogParent(),
                QStringLiteral("Nie utworzono połączenia sieciowego Tovinex dla bazy \"%1\": nie zapisano żadnego "
                               "wpisu, bo nie wiadomo, którym loginem Tovinex ma się logować.\n\n%2")
                    .arg(QString::fromStdString(Database), QString::fromStdString(Why)),
                QStringLiteral("Nowe połączenie Tovinex"), MsgIcon::Error);
    return;
  }
  if (!WriteTovinexEntries(Context, Database, Login, Dlg.ComboBox2->currentText().toStdString(), Library,
                           Dlg.BlokadaCheck->isChecked())) {
    return;  // nothing was written, and the message said why
  }
  ShowMessage(Context.DialogParent(), QStringLiteral("Utworzono połączenie sieciowe Tovinex"),
              QStringLiteral("Nowe połączenie Tovinex"), MsgIcon::Information);
}

}  // namespace vandrel::app::clientsetup
