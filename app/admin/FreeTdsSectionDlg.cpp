#include "app/admin/FreeTdsSectionDlg.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/DialogSeam.h"
#include "app/admin/FormButtons.h"

namespace vandrel::app::admin {

namespace {

std::string EditText(const QLineEdit* Edit) { return Edit->text().trimmed().toStdString(); }

}  // namespace

TFreeTdsSectionDlg::TFreeTdsSectionDlg(QWidget* Parent, const QString& Name, const platform::TFreeTdsServer& Server,
                                       bool Changing)
    : QDialog(Parent) {
  setObjectName("FreeTdsSectionDlg");
  setWindowTitle(Changing ? QStringLiteral("Serwer ") + Name : QStringLiteral("Nowy serwer"));
  auto* form = new QFormLayout;
  NameEdit = new QLineEdit(Name);
  NameEdit->setEnabled(!Changing);
  HostEdit = new QLineEdit(QString::fromStdString(Server.Host));
  PortEdit = new QLineEdit(QString::fromStdString(Server.Port));
  PortEdit->setPlaceholderText(QStringLiteral("domyślny"));
  InstanceEdit = new QLineEdit(QString::fromStdString(Server.Instance));
  form->addRow(QStringLiteral("Nazwa serwera:"), NameEdit);
  form->addRow(QStringLiteral("Komputer:"), HostEdit);
  form->addRow(QStringLiteral("Port:"), PortEdit);
  form->addRow(QStringLiteral("Instancja:"), InstanceEdit);
  AddFormButtons(this, form, OkButton, CancelButton, [this] { return Check(); });
}

QString TFreeTdsSectionDlg::Name() const { return NameEdit->text().trimmed(); }

platform::TFreeTdsServer TFreeTdsSectionDlg::Server() const {
  return {EditText(HostEdit), EditText(PortEdit), EditText(InstanceEdit)};
}

bool TFreeTdsSectionDlg::Check() {
  QString wrong;
  bool portOk = false;
  const int port = PortEdit->text().trimmed().toInt(&portOk);
  if (Name().isEmpty() || Name().contains('[') || Name().contains(']') ||
      Name().compare(QStringLiteral("global"), Qt::CaseInsensitive) == 0) {
    wrong = QStringLiteral("Nazwa serwera nie może być pusta, zawierać nawiasów kwadratowych ani brzmieć \"global\".");
  } else if (HostEdit->text().trimmed().isEmpty()) {
    wrong = QStringLiteral("Podaj komputer: nazwę lub adres.");
  } else if (!PortEdit->text().trimmed().isEmpty() && (!portOk || port < 1 || port > 65535)) {
    wrong = QStringLiteral("Port musi być liczbą od 1 do 65535.");
  }
  if (wrong.isEmpty()) return true;
  ShowMessage(this, wrong, QStringLiteral("Konfiguracja klienta FreeTDS"), MsgIcon::Warning);
  return false;
}

}  // namespace vandrel::app::admin
