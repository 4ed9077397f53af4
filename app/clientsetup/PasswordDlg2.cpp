#include "app/clientsetup/PasswordDlg2.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "app/ConnectionString.h"
#include "app/DialogSeam.h"

namespace vandrel::app::clientsetup {

namespace {

QComboBox* AddCombo(QWidget* Parent, const char* Name, const QString& Label, int Top) {
  auto* Caption = new QLabel(Label, Parent);
  Caption->setGeometry(16, Top + 2, 120, 21);
  auto* Combo = new QComboBox(Parent);
  Combo->setObjectName(Name);
  Combo->setEditable(true);
  Combo->setInsertPolicy(QComboBox::NoInsert);
  Combo->setGeometry(144, Top, 200, 23);
  return Combo;
}

}  // namespace

TPasswordDlg2::TPasswordDlg2(TCommandContext& Context) : QDialog(Context.DialogParent()), FContext(Context) {
  setObjectName("PasswordDlg2");
  setWindowTitle(QStringLiteral("Tworzenie połączenia sieciowego klienta"));
  setFixedSize(364, 210);

  ComboBox2 = AddCombo(this, "ComboBox2", QStringLiteral("Serwer:"), 18);
  ComboBox2->addItem(QStringLiteral("(local)"));
  ComboBox3 = AddCombo(this, "ComboBox3", QStringLiteral("Nazwa bazy:"), 54);
  // The field holds a listed name or nothing; a completer would turn the emptied text of a
  // typed name into the first listed database, whose entries Enter would then write.
  ComboBox3->setCompleter(nullptr);
  ComboBox1 = AddCombo(this, "ComboBox1", QStringLiteral("Biblioteka sieciowa:"), 90);
  ComboBox1->addItems({QStringLiteral("Gniazda TCP/IP"), QStringLiteral("Named Pipes")});
  ComboBox1->setCurrentIndex(0);

  BlokadaCheck = new QCheckBox(QStringLiteral("Podłącz jako bazę archiwalną (tylko do odczytu)"), this);
  BlokadaCheck->setObjectName("BlokadaCheck");
  BlokadaCheck->setGeometry(16, 126, 330, 21);

  OKBtn = new QPushButton(QStringLiteral("Zapisz"), this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setDefault(true);
  OKBtn->setGeometry(100, 166, 75, 25);
  CancelBtn = new QPushButton(QStringLiteral("Anuluj"), this);
  CancelBtn->setObjectName("CancelBtn");
  CancelBtn->setGeometry(188, 166, 75, 25);

  connect(ComboBox3, &QComboBox::editTextChanged, this, [this] { ComboBox3Change(); });
  connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
  connect(CancelBtn, &QPushButton::clicked, this, [this] {
    FCanClose = true;
    reject();
  });
}

TPasswordDlg2& TPasswordDlg2::Of(TCommandContext& Context) {
  if (auto* Existing = Context.DialogParent()->findChild<TPasswordDlg2*>("PasswordDlg2", Qt::FindDirectChildrenOnly))
    return *Existing;
  return *new TPasswordDlg2(Context);
}

void TPasswordDlg2::FormShow() { BlokadaCheck->setChecked(false); }

void TPasswordDlg2::ComboBox3Change() {
  const std::string Text = ComboBox3->currentText().toStdString();
  if (Text.empty()) return;
  TextList Names;
  for (int I = 0; I < ComboBox3->count(); ++I) Names.push_back(ComboBox3->itemText(I).toStdString());
  const std::string Found = FContext.FindUserDatabase(Names, Text);
  if (Found != Text) ComboBox3->setEditText(QString::fromStdString(Found));
}

void TPasswordDlg2::OKBtnClick() {
  FCanClose = true;
  if (ComboBox3->currentText().isEmpty()) {
    FCanClose = false;
    ShowMessage(this, QStringLiteral("Brak nazwy bazy"), QStringLiteral("Tworzenie połączenia sieciowego Tovinex"),
                MsgIcon::Error);
  } else if (const std::string problem = ServerNameProblem(ComboBox2->currentText().toStdString()); !problem.empty()) {
    // The server goes into the data source and the alias as it stands.
    FCanClose = false;
    ShowMessage(this, QString::fromStdString(problem), QStringLiteral("Tworzenie połączenia sieciowego Tovinex"),
                MsgIcon::Error);
  }
  accept();
}

void TPasswordDlg2::done(int Result) {
  if (!FCanClose) return;
  QDialog::done(Result);
}

}  // namespace vandrel::app::clientsetup
