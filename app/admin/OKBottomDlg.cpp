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

QComboBox* Combo(QWidget* Parent, const char* Name, const QStringList& Items, const QString& Default) {
  auto* combo = new QComboBox(Parent);
  combo->setObjectName(Name);
  combo->setEditable(true);  // a text outside the items selects no statement
  combo->addItems(Items);
  combo->setCurrentText(Default);
  return combo;
}

}  // namespace

TOKBottomDlg::TOKBottomDlg(QWidget* Parent) : QDialog(Parent) {
  setObjectName("TOKBottomDlg");
  setWindowTitle(QStringLiteral("Parametry bazy"));
  auto* layout = new QVBoxLayout(this);

  auto* state = new QGroupBox(QStringLiteral("State Option"), this);
  auto* stateForm = new QFormLayout(state);
  ComboBox1 = Combo(this, "ComboBox1", {"SINGLE_USER", "RESTRICTED_USER", "MULTI_USER"}, "MULTI_USER");
  ComboBox3 = Combo(this, "ComboBox3", kOnOff, QStringLiteral("Wyłączony"));
  Edit1 = new QLineEdit(QStringLiteral("ONLINE"), this);
  Edit1->setObjectName("Edit1");
  Edit1->setReadOnly(true);
  Edit1->setEnabled(false);  // shaded: the status is shown, never sent
  stateForm->addRow(QStringLiteral("Kontrola użytkowników:"), ComboBox1);
  stateForm->addRow(QStringLiteral("Tryb tylko do odczytu:"), ComboBox3);
  stateForm->addRow(QStringLiteral("Tryb pracy:"), Edit1);
  layout->addWidget(state);

  auto* automatic = new QGroupBox(QStringLiteral("Auto Option"), this);
  auto* autoForm = new QFormLayout(automatic);
  ComboBox6 = Combo(this, "ComboBox6", kOnOff, QStringLiteral("Włączony"));
  ComboBox4 = Combo(this, "ComboBox4", kOnOff, QStringLiteral("Wyłączony"));
  ComboBox5 = Combo(this, "ComboBox5", kOnOff, QStringLiteral("Włączony"));
  ComboBox7 = Combo(this, "ComboBox7", kOnOff, QStringLiteral("Włączony"));
  autoForm->addRow(QStringLiteral("Tryb autokompresji"), ComboBox6);
  autoForm->addRow(QStringLiteral("AUTO_CLOSE"), ComboBox4);
  autoForm->addRow(QStringLiteral("AUTO_CREATE_STATISTICS "), ComboBox5);
  autoForm->addRow(QStringLiteral("AUTO_UPDATE_STATISTICS"), ComboBox7);
  layout->addWidget(automatic);

  auto* recovery = new QGroupBox(QStringLiteral("Recovery Option"), this);
  auto* recoveryForm = new QFormLayout(recovery);
  ComboBox8 = Combo(this, "ComboBox8", {"FULL", "BULK_LOGGED", "SIMPLE"}, "SIMPLE");
  ComboBox9 = Combo(this, "ComboBox9", kOnOff, QStringLiteral("Włączony"));
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
}

}  // namespace vandrel::app::admin
