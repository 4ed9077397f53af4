#include "app/OdbcLogonDialog.h"

#include "app/ConnectionString.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

#include "app/OdbcDataSources.h"

namespace vandrel::app {

TOdbcLogonDialog::TOdbcLogonDialog(QWidget* Parent) : QDialog(Parent) {
  setObjectName("OdbcLogonDialog");
  setWindowTitle(QStringLiteral("Wybierz źródło danych ODBC"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Źródła danych:"), this));
  Sources = new QListWidget(this);
  Sources->setObjectName("Sources");
  for (const OdbcDataSource& s : ListOdbcDataSources()) {
    auto* item = new QListWidgetItem(QString::fromStdString(s.Name), Sources);
    item->setToolTip(QString::fromStdString(s.Description));
  }
  if (Sources->count() > 0) Sources->setCurrentRow(0);
  layout->addWidget(Sources);
  auto* form = new QFormLayout();
  User = new QLineEdit(this);
  User->setObjectName("User");
  Password = new QLineEdit(this);
  Password->setObjectName("Password");
  Password->setEchoMode(QLineEdit::Password);
  form->addRow(QStringLiteral("Użytkownik:"), User);
  form->addRow(QStringLiteral("Hasło:"), Password);
  layout->addLayout(form);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

std::string TOdbcLogonDialog::ConnectionString() const {
  const QListWidgetItem* item = Sources->currentItem();
  if (!item) return {};
  return "DSN=" + BraceConnectionValue(item->text().toStdString()) + ";UID=" +
         BraceConnectionValue(User->text().toStdString()) + ";PWD=" + BraceConnectionValue(Password->text().toStdString()) +
         ";";
}

}  // namespace vandrel::app
