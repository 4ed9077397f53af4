#include "app/admin/InUseDlg.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "foundation/Trim.h"

namespace vandrel::app::admin {

TInUseDlg::TInUseDlg(QWidget* Parent, const QString& Message, const std::vector<std::string>& Holders)
    : QDialog(Parent) {
  setObjectName("TInUseDlg");
  setWindowTitle(QStringLiteral("Niedozwolona operacja"));
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout();
  auto* icon = new QLabel(this);
  const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical, nullptr, this).pixmap(size, size));
  top->addWidget(icon, 0, Qt::AlignTop);
  Label1 = new QLabel(Message, this);
  Label1->setWordWrap(true);
  top->addWidget(Label1, 1);
  layout->addLayout(top);

  ProcessList = new QTreeWidget(this);
  ProcessList->setObjectName("ProcessList");
  ProcessList->setRootIsDecorated(false);
  ProcessList->setHeaderLabels({QStringLiteral("SPID"), QStringLiteral("Host"), QStringLiteral("Program"),
                                QStringLiteral("Login"), QStringLiteral("Ostatnie polecenie")});
  const size_t columns = Holders.empty() ? 0 : std::stoul(Holders[0]);
  for (size_t row = 1; columns == 5 && row + columns - 1 < Holders.size(); row += columns) {
    auto* item = new QTreeWidgetItem(ProcessList);
    for (size_t c = 0; c < columns; ++c)
      item->setText(int(c), QString::fromStdString(std::string(Trim(Holders[row + c]))));
  }
  ProcessList->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  layout->addWidget(ProcessList);

  auto* buttons = new QHBoxLayout();
  buttons->addStretch();
  DisconnectBtn = new QPushButton(QStringLiteral("Rozłącz użytkowników i ponów"), this);
  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  OKBtn->setDefault(true);
  buttons->addWidget(DisconnectBtn);
  buttons->addWidget(OKBtn);
  layout->addLayout(buttons);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(DisconnectBtn, &QPushButton::clicked, this, &QDialog::accept);
  resize(560, 260);
}

}  // namespace vandrel::app::admin
