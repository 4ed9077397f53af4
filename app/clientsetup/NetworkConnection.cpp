#include "app/clientsetup/NetworkConnection.h"

#include <QCheckBox>
#include <QComboBox>

#include "app/DialogSeam.h"
#include "app/MainWindow.h"
#include "app/clientsetup/PasswordDlg2.h"
#include "app/clientsetup/TovinexRegistry.h"

namespace vandrel::app::clientsetup {

void CreateTovinexConnection(TForm1& Form) {
  TPasswordDlg2& Dlg = TPasswordDlg2::Of(Form);
  Dlg.ComboBox3->setEditText(QString());
  TextList Names;
  Form.UserDatabaseNames(Names);
  Dlg.ComboBox3->clear();
  for (const std::string& Name : Names) Dlg.ComboBox3->addItem(QString::fromStdString(Name));
  Dlg.ComboBox3->setCurrentIndex(-1);
  Dlg.ComboBox3->setEditText(QString());
  const std::string Selected = Form.FindUserDatabase(Names, "");
  if (!Selected.empty()) Dlg.ComboBox3->setEditText(QString::fromStdString(Selected));
  const std::string Server = Form.ConnectionStringValue("SERVER");
  Dlg.ComboBox2->setEditText(QString::fromStdString(Server.empty() ? "(local)" : Server));
  Dlg.FormShow();
  if (DialogSeam::Current().ExecDialog(&Dlg) != QDialog::Accepted) return;

  const std::string Database = Dlg.ComboBox3->currentText().toStdString();
  const TNetworkLibrary Library = Dlg.ComboBox1->currentText() == QStringLiteral("Gniazda TCP/IP")
                                      ? TNetworkLibrary::TcpIp
                                      : TNetworkLibrary::NamedPipes;
  if (!WriteTovinexEntries(Form, Database, Database, Dlg.ComboBox2->currentText().toStdString(), Library,
                           Dlg.BlokadaCheck->isChecked())) {
    return;  // nothing was written, and the message said why
  }
  ShowMessage(&Form, QStringLiteral("Utworzono połączenie sieciowe Tovinex"), QStringLiteral("Nowe połączenie Tovinex"),
              MsgIcon::Information);
}

}  // namespace vandrel::app::clientsetup
