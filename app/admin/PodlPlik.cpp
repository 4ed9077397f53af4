#include "app/admin/PodlPlik.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "app/DialogSeam.h"
#include "app/admin/DatabaseFiles.h"
#include "platform/Registry.h"

namespace vandrel::app::admin {

const QString TPodlPlik::kDataTitle = QStringLiteral("Wczytaj plik bazy danych (*.mdf)");
const QString TPodlPlik::kDataFilter = QStringLiteral("Plik bazy danych (*.mdf)|*.mdf|Wszystkie pliki (*.*)|*.*");
const QString TPodlPlik::kLogTitle = QStringLiteral("Wczytaj plik bazy danych (*.ldf)");
const QString TPodlPlik::kLogFilter = QStringLiteral("Plik bazy danych (*.ldf)|*.ldf|Wszystkie pliki (*.*)|*.*");

namespace {

const QString kAttachFileCaption = QStringLiteral("Podłączanie pliku bazy");

QLineEdit* AddFileEdit(QWidget* Parent, const char* Name, const QString& Label, int Top, int Width) {
  auto* Caption = new QLabel(Label, Parent);
  Caption->setGeometry(16, Top, 300, 18);
  auto* Edit = new QLineEdit(Parent);
  Edit->setObjectName(Name);
  Edit->setGeometry(16, Top + 20, Width, 23);
  return Edit;
}

QToolButton* AddBrowse(QWidget* Parent, const char* Name, int Top) {
  auto* Button = new QToolButton(Parent);
  Button->setObjectName(Name);
  Button->setText(QStringLiteral("..."));
  Button->setToolTip(QStringLiteral("Wyszukaj plik bazy danych"));
  Button->setGeometry(388, Top + 20, 25, 23);
  return Button;
}

}  // namespace

std::string DefaultDataDirectory() {
  try {
    platform::TRegistry Reg(platform::HKEY_LOCAL_MACHINE);
    if (!Reg.OpenKeyReadOnly("SOFTWARE\\Microsoft\\MSSQLServer\\Setup") || !Reg.ValueExists("SQLDataRoot")) return {};
    return Reg.ReadString("SQLDataRoot") + "\\Data";
  } catch (const std::exception&) {
    return {};
  }
}

TPodlPlik::TPodlPlik(TCommandContext& Context) : QDialog(Context.DialogParent()), FContext(Context) {
  setObjectName("PodlPlik");
  setWindowTitle(QStringLiteral("Podłączanie nowej bazy"));
  setFixedSize(430, 300);

  Edit3 = AddFileEdit(this, "Edit3", QStringLiteral("Plik bazy danych (*.mdf):"), 12, 364);
  Edit3->setReadOnly(true);
  SpeedButton2 = AddBrowse(this, "SpeedButton2", 12);
  Edit4 = AddFileEdit(this, "Edit4", QStringLiteral("Plik bazy danych (*.ldf):"), 60, 364);
  Edit4->setReadOnly(true);
  SpeedButton3 = AddBrowse(this, "SpeedButton3", 60);
  Edit1 = AddFileEdit(this, "Edit1", QStringLiteral("Nazwa bazy:"), 108, 200);

  CheckBox1 = new QCheckBox(QStringLiteral("Wyszukaj plik w domyślnym katalogu bazy danych"), this);
  CheckBox1->setObjectName("CheckBox1");
  CheckBox1->setChecked(true);
  CheckBox1->setGeometry(16, 166, 400, 21);
  BlokadaCheck = new QCheckBox(QStringLiteral("Podłącz jako bazę archiwalną (tylko do odczytu)"), this);
  BlokadaCheck->setObjectName("BlokadaCheck");
  BlokadaCheck->setGeometry(16, 192, 400, 21);

  OKBtn = new QPushButton(QStringLiteral("Zapisz"), this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setDefault(true);
  OKBtn->setEnabled(false);
  OKBtn->setGeometry(128, 250, 75, 25);
  CancelBtn = new QPushButton(QStringLiteral("Anuluj"), this);
  CancelBtn->setObjectName("CancelBtn");
  CancelBtn->setGeometry(216, 250, 75, 25);

  connect(SpeedButton2, &QToolButton::clicked, this, [this] { SpeedButton2Click(); });
  connect(SpeedButton3, &QToolButton::clicked, this, [this] { SpeedButton3Click(); });
  connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
  connect(CancelBtn, &QPushButton::clicked, this, [this] {
    FCanClose = true;
    OKBtn->setEnabled(false);
    reject();
  });
}

TPodlPlik& TPodlPlik::Of(TCommandContext& Context) {
  if (auto* Existing = Context.DialogParent()->findChild<TPodlPlik*>("PodlPlik", Qt::FindDirectChildrenOnly))
    return *Existing;
  return *new TPodlPlik(Context);
}

void TPodlPlik::FormShow() {
  Edit3->clear();
  Edit4->clear();
  Edit1->clear();
  BlokadaCheck->setChecked(false);
  FCanClose = true;
}

QString TPodlPlik::StartDirectory(TDatabaseFiles& Files) const {
  if (!CheckBox1->isChecked()) return {};
  const QString Registry = QString::fromStdString(DefaultDataDirectory());
  return Registry.isEmpty() ? Files.DefaultDirectory() : Registry;
}

void TPodlPlik::SpeedButton2Click() {
  const auto Files = ServerDatabaseFiles(FContext);
  const QString Chosen = Files->Choose(kDataTitle, kDataFilter, StartDirectory(*Files));
  if (Chosen.isEmpty() || !Files->Exists(Chosen)) return;
  OKBtn->setEnabled(true);
  Edit3->setText(Chosen);
  const QString Directory = TDatabaseFiles::DirectoryOf(Chosen);
  const QString FileName = Chosen.mid(Directory.size());
  const int Dot = FileName.indexOf('.');
  const QString Stem = Dot < 0 ? FileName : FileName.left(Dot);
  const QString Log = Directory + Stem + "_log.ldf";
  if (Files->Exists(Log)) Edit4->setText(Log);
  if (Edit1->text().isEmpty()) Edit1->setText(Stem);
}

void TPodlPlik::SpeedButton3Click() {
  const auto Files = ServerDatabaseFiles(FContext);
  const QString Chosen = Files->Choose(kLogTitle, kLogFilter, StartDirectory(*Files));
  if (!Chosen.isEmpty() && Files->Exists(Chosen)) Edit4->setText(Chosen);
}

void TPodlPlik::OKBtnClick() {
  FCanClose = true;
  if (Edit3->text().isEmpty()) {
    FCanClose = false;
    ShowMessage(this, QStringLiteral("Nie wybrano pliku bazy"), kAttachFileCaption, MsgIcon::Error);
  } else if (Edit1->text().isEmpty()) {
    FCanClose = false;
    ShowMessage(this, QStringLiteral("Nie podano nazwy bazy"), kAttachFileCaption, MsgIcon::Error);
  }
  OKBtn->setEnabled(false);
  accept();
}

void TPodlPlik::done(int Result) {
  if (!FCanClose) return;
  QDialog::done(Result);
}

}  // namespace vandrel::app::admin
