#include "app/query/FindBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>

namespace vandrel::app {

TFindBar::TFindBar(QPlainTextEdit* Editor, QWidget* Parent)
    : QWidget(Parent), FindEdit(new QLineEdit(this)), ReplaceEdit(new QLineEdit(this)), FEditor(Editor) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  auto* findLabel = new QLabel(QStringLiteral("&Znajdź:"), this);
  findLabel->setBuddy(FindEdit);
  auto* replaceLabel = new QLabel(QStringLiteral("Zamień &na:"), this);
  replaceLabel->setBuddy(ReplaceEdit);
  FindEdit->setAccessibleName(QStringLiteral("Znajdź"));
  ReplaceEdit->setAccessibleName(QStringLiteral("Zamień na"));
  auto* next = new QPushButton(QStringLiteral("Następne"), this);
  auto* replace = new QPushButton(QStringLiteral("Zamień"), this);
  auto* all = new QPushButton(QStringLiteral("Zamień wszystkie"), this);
  auto* close = new QToolButton(this);
  close->setText(QStringLiteral("×"));
  close->setToolTip(QStringLiteral("Zamknij (Esc)"));
  for (QWidget* w : std::initializer_list<QWidget*>{findLabel, FindEdit, next, replaceLabel, ReplaceEdit, replace, all, close})
    layout->addWidget(w);
  connect(FindEdit, &QLineEdit::returnPressed, this, &TFindBar::FindNext);
  connect(next, &QPushButton::clicked, this, &TFindBar::FindNext);
  connect(ReplaceEdit, &QLineEdit::returnPressed, this, &TFindBar::ReplaceOne);
  connect(replace, &QPushButton::clicked, this, &TFindBar::ReplaceOne);
  connect(all, &QPushButton::clicked, this, &TFindBar::ReplaceAll);
  connect(close, &QToolButton::clicked, this, [this] {
    hide();
    FEditor->setFocus();
  });
  hide();
}

void TFindBar::Open(bool Replace) {
  const QString selected = FEditor->textCursor().selectedText();
  if (!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator)) FindEdit->setText(selected);
  show();
  QLineEdit* focus = Replace ? ReplaceEdit : FindEdit;
  focus->setFocus();
  focus->selectAll();
}

bool TFindBar::FindNext() {
  const QString what = FindEdit->text();
  if (what.isEmpty()) return false;
  if (FEditor->find(what)) return true;
  // Round past the end, from the start.
  const QTextCursor kept = FEditor->textCursor();
  FEditor->moveCursor(QTextCursor::Start);
  if (FEditor->find(what)) return true;
  FEditor->setTextCursor(kept);
  return false;
}

bool TFindBar::SelectionMatches() const {
  return FEditor->textCursor().selectedText().compare(FindEdit->text(), Qt::CaseInsensitive) == 0;
}

void TFindBar::ReplaceOne() {
  if (FindEdit->text().isEmpty()) return;
  if (SelectionMatches()) FEditor->textCursor().insertText(ReplaceEdit->text());
  FindNext();
}

int TFindBar::ReplaceAll() {
  const QString what = FindEdit->text();
  if (what.isEmpty()) return 0;
  QTextDocument* document = FEditor->document();
  QTextCursor edit(document);
  edit.beginEditBlock();
  int count = 0;
  for (QTextCursor found = document->find(what, 0); !found.isNull(); found = document->find(what, found)) {
    found.insertText(ReplaceEdit->text());
    ++count;
  }
  edit.endEditBlock();
  return count;
}

}  // namespace vandrel::app
