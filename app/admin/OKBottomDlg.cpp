#include "app/admin/OKBottomDlg.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vandrel::app::admin {
namespace {

const QStringList kOnOff = {QStringLiteral("Włączony"), QStringLiteral("Wyłączony")};

QComboBox* Combo(QWidget* Parent, const char* Name, const QStringList& Items) {
  auto* combo = new QComboBox(Parent);
  combo->setObjectName(Name);
  // Only the listed values: a typed text would select no statement and leave the option
  // silently as it was.
  combo->setEditable(false);
  combo->addItems(Items);
  return combo;
}

}  // namespace

TOKBottomDlg::TOKBottomDlg(QWidget* Parent) : QDialog(Parent) {
  setObjectName("TOKBottomDlg");
  setWindowTitle(QStringLiteral("Parametry bazy"));
  auto* layout = new QVBoxLayout(this);

  auto* state = new QGroupBox(QStringLiteral("State Option"), this);
  auto* stateForm = new QFormLayout(state);
  ComboBox1 = Combo(this, "ComboBox1", {"SINGLE_USER", "RESTRICTED_USER", "MULTI_USER"});
  ComboBox3 = Combo(this, "ComboBox3", kOnOff);
  Edit1 = new QLineEdit(this);
  Edit1->setObjectName("Edit1");
  Edit1->setReadOnly(true);
  Edit1->setEnabled(false);  // shaded: the status is shown, never sent
  stateForm->addRow(QStringLiteral("Kontrola użytkowników:"), ComboBox1);
  stateForm->addRow(QStringLiteral("Tryb tylko do odczytu:"), ComboBox3);
  stateForm->addRow(QStringLiteral("Tryb pracy:"), Edit1);
  layout->addWidget(state);

  auto* automatic = new QGroupBox(QStringLiteral("Auto Option"), this);
  auto* autoForm = new QFormLayout(automatic);
  ComboBox6 = Combo(this, "ComboBox6", kOnOff);
  ComboBox4 = Combo(this, "ComboBox4", kOnOff);
  ComboBox5 = Combo(this, "ComboBox5", kOnOff);
  ComboBox7 = Combo(this, "ComboBox7", kOnOff);
  autoForm->addRow(QStringLiteral("Tryb autokompresji"), ComboBox6);
  autoForm->addRow(QStringLiteral("AUTO_CLOSE"), ComboBox4);
  autoForm->addRow(QStringLiteral("AUTO_CREATE_STATISTICS "), ComboBox5);
  autoForm->addRow(QStringLiteral("AUTO_UPDATE_STATISTICS"), ComboBox7);
  layout->addWidget(automatic);

  auto* recovery = new QGroupBox(QStringLiteral("Recovery Option"), this);
  auto* recoveryForm = new QFormLayout(recovery);
  ComboBox8 = Combo(this, "ComboBox8", {"FULL", "BULK_LOGGED", "SIMPLE"});
  ComboBox9 = Combo(this, "ComboBox9", kOnOff);
  recoveryForm->addRow(QStringLiteral("Recovery model"), ComboBox8);
  recoveryForm->addRow(QStringLiteral("Wykrywanie niekompletnych stron"), ComboBox9);
  layout->addWidget(recovery);

  auto* buttons = new QHBoxLayout();
  buttons->addStretch();
  OKBtn = new QPushButton(QStringLiteral("Zapisz"), this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton(QStringLiteral("Anuluj"), this);
  CancelBtn->setObjectName("CancelBtn");
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  layout->addLayout(buttons);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // a fixed dialog border
  ShowDefaults();
}

void TOKBottomDlg::ShowDefaults() {
  const QString on = QStringLiteral("Włączony"), off = QStringLiteral("Wyłączony");
  ComboBox1->setCurrentText(QStringLiteral("MULTI_USER"));
  ComboBox3->setCurrentText(off);
  Edit1->setText(QStringLiteral("ONLINE"));
  ComboBox6->setCurrentText(on);
  ComboBox4->setCurrentText(off);
  ComboBox5->setCurrentText(on);
  ComboBox7->setCurrentText(on);
  ComboBox8->setCurrentText(QStringLiteral("SIMPLE"));
  ComboBox9->setCurrentText(on);
}

}  // namespace vandrel::app::admin
