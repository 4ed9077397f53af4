#include "app/admin/OdbcSourceView.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vandrel::app::admin {

TOdbcSourceView::TOdbcSourceView(QWidget* Parent, const TOdbcSourceEntry& Source) : QDialog(Parent) {
  setObjectName("OdbcSourceView");
  const QString name = QString::fromStdString(Source.Name);
  setWindowTitle(QStringLiteral("Źródło danych ") + name);
  auto* note = new QLabel(QStringLiteral("Źródło danych \"%1\" używa sterownika \"%2\". Tutaj można zmieniać tylko "
                                         "źródła danych sterownika \"SQL Server\"; to jest pokazane tak, jak "
                                         "zapisano je w pliku.")
                              .arg(name, QString::fromStdString(Source.Driver)));
  note->setObjectName("Note");
  note->setWordWrap(true);
  Keys = new QTreeWidget;
  Keys->setObjectName("Keys");
  Keys->setRootIsDecorated(false);
  Keys->setHeaderLabels({QStringLiteral("Klucz"), QStringLiteral("Wartość")});
  Keys->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  for (const auto& [key, value] : Source.Keys) {
    new QTreeWidgetItem(Keys, {QString::fromStdString(key), QString::fromStdString(value)});
  }
  CloseButton = new QPushButton(QStringLiteral("Zamknij"));
  CloseButton->setObjectName("CloseButton");
  CloseButton->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(CloseButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(note);
  layout->addWidget(Keys);
  layout->addLayout(buttons);
  resize(520, 320);
  connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
}

}  // namespace vandrel::app::admin
