#include "app/admin/FormButtons.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace vandrel::app::admin {

void AddFormButtons(QDialog* Dialog, QLayout* Fields, QPushButton*& Ok, QPushButton*& Cancel,
                    std::function<bool()> Check) {
  Ok = new QPushButton(QStringLiteral("OK"));
  Ok->setObjectName("OkButton");
  Ok->setDefault(true);
  Cancel = new QPushButton(QStringLiteral("Anuluj"));
  Cancel->setObjectName("CancelButton");
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Ok);
  buttons->addWidget(Cancel);
  auto* layout = new QVBoxLayout(Dialog);
  layout->addLayout(Fields);
  layout->addLayout(buttons);
  QObject::connect(Ok, &QPushButton::clicked, Dialog, [Dialog, Check] {
    if (Check()) Dialog->accept();
  });
  QObject::connect(Cancel, &QPushButton::clicked, Dialog, &QDialog::reject);
}

}  // namespace vandrel::app::admin
