#include "app/query/MessagesPane.h"

#include <QFontDatabase>

namespace vandrel::app {

TMessagesPane::TMessagesPane(QWidget* Parent) : QListWidget(Parent) {
  setAccessibleName(QStringLiteral("Komunikaty"));
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  setWordWrap(true);
  setUniformItemSizes(false);
  connect(this, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* Item) {
    if (const int line = Item->data(Qt::UserRole).toInt(); line > 0) emit LineChosen(line);
  });
}

void TMessagesPane::AddMessage(const QString& Text, bool Error, int Line) {
  auto* item = new QListWidgetItem(Text, this);
  if (Error) item->setForeground(QColor(192, 0, 0));
  if (Line > 0) {
    item->setData(Qt::UserRole, Line);
    item->setToolTip(QStringLiteral("Dwukrotne kliknięcie przenosi do wiersza %1").arg(Line));
  }
  scrollToBottom();
}

QStringList TMessagesPane::Texts() const {
  QStringList texts;
  for (int i = 0; i < count(); ++i) texts << item(i)->text();
  return texts;
}

int TMessagesPane::LineOf(int Row) const { return Row >= 0 && Row < count() ? item(Row)->data(Qt::UserRole).toInt() : 0; }

}  // namespace vandrel::app
