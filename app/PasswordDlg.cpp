#include "app/PasswordDlg.h"

#include <QCheckBox>
#include <QAction>
#include <QEvent>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QComboBox>
#include <QCompleter>
#include <QStringListModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/ConnectionString.h"

namespace vandrel::app {
namespace {

const QString kNamedPipes = QStringLiteral("Named Pipes");
const QColor kScrollBarGrey(0xC8, 0xC8, 0xC8);

QLabel* AddLabel(QWidget* parent, const QString& text, int top) {
  auto* label = new QLabel(text, parent);
  QFont font("MS Sans Serif");
  font.setPixelSize(13);
  label->setFont(font);
  label->setGeometry(16, top, 120, 21);
  return label;
}

// A list of earlier texts under Field: shown by the arrow at its end, narrowed as one types.
QCompleter* AddChoices(QLineEdit* Field) {
  auto* completer = new QCompleter(new QStringListModel(Field), Field);
  completer->setCaseSensitivity(Qt::CaseInsensitive);
  completer->setCompletionMode(QCompleter::PopupCompletion);
  Field->setCompleter(completer);
  QAction* open = Field->addAction(QIcon::fromTheme(QStringLiteral("go-down"), QIcon(QStringLiteral(":/icons/choices.svg"))), QLineEdit::TrailingPosition);
  open->setToolTip(QStringLiteral("Wcześniej używane"));
  open->setVisible(false);
  QObject::connect(open, &QAction::triggered, Field, [completer] {
    completer->setCompletionPrefix(QString());
    completer->complete();
  });
  return completer;
}

void SetChoices(QCompleter* Completer, const QStringList& Texts) {
  static_cast<QStringListModel*>(Completer->model())->setStringList(Texts);
  auto* field = static_cast<QLineEdit*>(Completer->parent());
  for (QAction* a : field->actions()) a->setVisible(!Texts.isEmpty());
}

}  // namespace

TPasswordDlg::TPasswordDlg(QWidget* Owner) : QDialog(Owner) {
  setWindowTitle(QStringLiteral("Połączenie z serwerem MSSQL"));
  setFixedSize(350, 282);
  setObjectName("PasswordDlg");

  AddLabel(this, QStringLiteral("Serwer:"), 20);
  Edit1 = new QLineEdit(QStringLiteral("(local)"), this);
  Edit1->setObjectName("Edit1");
  Edit1->setGeometry(144, 18, 185, 23);

  AddLabel(this, QStringLiteral("Biblioteka siec.:"), 56);
  Biblioteka = new QComboBox(this);
  Biblioteka->setObjectName("Biblioteka");
  Biblioteka->setEditable(true);
  Biblioteka->setInsertPolicy(QComboBox::NoInsert);  // what is typed never joins the list
  Biblioteka->addItems({QStringLiteral("Gniazda TCP/IP"), kNamedPipes});
  Biblioteka->setCurrentIndex(0);
  Biblioteka->setGeometry(144, 54, 185, 23);

  Label5 = AddLabel(this, QStringLiteral("Port:"), 92);
  Label5->setObjectName("Label5");
  Port = new QLineEdit(this);
  Port->setObjectName("Port");
  Port->setGeometry(144, 90, 185, 23);

  Dynamiczny = new QCheckBox(QStringLiteral("Przydziel dynamicznie"), this);
  Dynamiczny->setObjectName("Dynamiczny");
  Dynamiczny->setChecked(true);
  Dynamiczny->setGeometry(144, 118, 185, 21);

  AddLabel(this, QStringLiteral("Użytkownik:"), 150);
  Edit2 = new QLineEdit(QStringLiteral("sa"), this);
  Edit2->setObjectName("Edit2");
  Edit2->setGeometry(144, 148, 185, 23);

  AddLabel(this, QStringLiteral("Hasło:"), 186);
  Edit3 = new QLineEdit(this);
  Edit3->setObjectName("Edit3");
  Edit3->setEchoMode(QLineEdit::Password);
  Edit3->setGeometry(144, 184, 185, 23);

  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setDefault(true);
  OKBtn->setGeometry(96, 236, 75, 25);
  CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
  CancelBtn->setObjectName("CancelBtn");
  CancelBtn->setGeometry(184, 236, 75, 25);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

  // Tab goes down the form, so the password is always typed into the masked field; the dialog
  // still opens in the password field.
  setTabOrder(Edit1, Biblioteka);
  setTabOrder(Biblioteka, Edit2);
  setTabOrder(Edit2, Edit3);
  setTabOrder(Edit3, Port);
  setTabOrder(Port, Dynamiczny);
  setTabOrder(Dynamiczny, OKBtn);
  setTabOrder(OKBtn, CancelBtn);
  Edit3->setFocus();

  // A TCP port is a number from 1 to 65535; the 1433 the dialog fills in is selected when the
  // field is entered, so what the user types replaces it.
  PortNumbers = new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("[1-9][0-9]{0,3}|[1-5][0-9]{4}|6[0-4][0-9]{3}|65[0-4][0-9]{2}|655[0-2][0-9]|6553[0-5]")),
      this);
  Port->setValidator(PortNumbers);
  Port->installEventFilter(this);

  SetPortGrey(true);
  connect(Dynamiczny, &QCheckBox::clicked, this, [this] { DynamicznyClick(); });
  connect(Biblioteka, &QComboBox::editTextChanged, this, [this] { BibliotekaChange(); });
  connect(Edit1, &QLineEdit::textChanged, this, [this] { Edit1Change(); });

  ServerChoices = AddChoices(Edit1);
  UserChoices = AddChoices(Edit2);
  connect(ServerChoices, qOverload<const QString&>(&QCompleter::activated), this,
          [this](const QString& Server) { ServerChosen(Server); });
  // Another user's password is never offered for the user chosen.
  connect(UserChoices, qOverload<const QString&>(&QCompleter::activated), this, [this](const QString& User) {
    Edit2->setText(User);
    Edit3->clear();
  });
}

bool TPasswordDlg::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == Port && Event->type() == QEvent::FocusIn && Port->text() == QStringLiteral("1433"))
    QTimer::singleShot(0, Port, [this] { Port->selectAll(); });  // after the click has placed the cursor
  return QDialog::eventFilter(Watched, Event);
}

void TPasswordDlg::SetRecent(std::vector<TRecentConnection> Recent) {
  FRecent = std::move(Recent);
  QStringList servers, users;
  for (const TRecentConnection& r : FRecent) {
    const QString server = QString::fromStdString(r.Server), user = QString::fromStdString(r.User);
    if (!servers.contains(server)) servers << server;
    if (!user.isEmpty() && !users.contains(user)) users << user;
  }
  SetChoices(ServerChoices, servers);
  SetChoices(UserChoices, users);
}

void TPasswordDlg::ServerChosen(const QString& Server) {
  Edit1->setText(Server);
  for (const TRecentConnection& r : FRecent)
    if (QString::fromStdString(r.Server) == Server) {
      if (Edit2->text() != QString::fromStdString(r.User)) Edit3->clear();
      Edit2->setText(QString::fromStdString(r.User));
      break;
    }
}

ConnectionFields TPasswordDlg::Fields() const {
  ConnectionFields f;
  f.Server = Edit1->text().toStdString();
  f.Library = Biblioteka->currentText().toStdString();
  f.User = Edit2->text().toStdString();
  f.Password = Edit3->text().toStdString();
  return f;
}

QString TPasswordDlg::FixedPort() const {
  if (Biblioteka->currentText() == kNamedPipes || Dynamiczny->isChecked()) return {};
  return Port->text().trimmed();
}

bool TPasswordDlg::PortIsGrey() const {
  return Port->palette().color(QPalette::Base) == kScrollBarGrey;
}

void TPasswordDlg::SetPortGrey(bool Grey) {
  QPalette palette = Port->palette();
  palette.setColor(QPalette::Base, Grey ? kScrollBarGrey : QPalette().color(QPalette::Base));
  Port->setPalette(palette);
}

void TPasswordDlg::SetDynamiczny(bool Checked) {
  if (Dynamiczny->isChecked() == Checked) return;
  Dynamiczny->setChecked(Checked);
  DynamicznyClick();
}

void TPasswordDlg::DynamicznyClick() {
  if (Dynamiczny->isChecked()) {
    SetPortGrey(true);
    Port->clear();
  } else {
    SetPortGrey(false);
    Port->setText(QStringLiteral("1433"));
  }
}

void TPasswordDlg::BibliotekaChange() {
  if (Biblioteka->currentText() == kNamedPipes) {
    Label5->setText(QStringLiteral("Pipe name:"));
    Port->setValidator(nullptr);
    Port->setText(QStringLiteral("\\\\\\pipe\\sql\\query"));
    SetPortGrey(false);
    Dynamiczny->hide();
    Edit1Change();
  } else {
    Label5->setText(QStringLiteral("Port:"));
    Port->setValidator(PortNumbers);
    Port->setText(QStringLiteral("1433"));
    SetPortGrey(true);
    SetDynamiczny(true);
    Dynamiczny->show();
  }
}

void TPasswordDlg::Edit1Change() {
  if (Biblioteka->currentText() == kNamedPipes)
    Port->setText("\\\\" + Edit1->text() + "\\pipe\\sql\\query");
}

}  // namespace vandrel::app
