#include "app/query/QueryEditor.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QTextBlock>

#include "app/query/SqlHighlighter.h"

namespace vandrel::app {
namespace {

constexpr int kTabColumns = 4;

class TNumberMargin : public QWidget {
 public:
  explicit TNumberMargin(TQueryEditor* Editor) : QWidget(Editor), FEditor(Editor) {}
  QSize sizeHint() const override { return {FEditor->NumberMarginWidth(), 0}; }

 protected:
  void paintEvent(QPaintEvent* Event) override { FEditor->PaintNumbers(Event); }

 private:
  TQueryEditor* FEditor;
};

}  // namespace

TQueryEditor::TQueryEditor(QWidget* Parent)
    : QPlainTextEdit(Parent), FMargin(new TNumberMargin(this)), FHighlighter(new TSqlHighlighter(document())) {
  setAccessibleName(QStringLiteral("Tekst zapytania"));
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  setTabStopDistance(fontMetrics().horizontalAdvance(QLatin1Char(' ')) * kTabColumns);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  connect(this, &QPlainTextEdit::blockCountChanged, this, [this] { setViewportMargins(NumberMarginWidth(), 0, 0, 0); });
  connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& Rect, int Dy) {
    if (Dy)
      FMargin->scroll(0, Dy);
    else
      FMargin->update(0, Rect.y(), FMargin->width(), Rect.height());
  });
  setViewportMargins(NumberMarginWidth(), 0, 0, 0);
}

int TQueryEditor::NumberMarginWidth() const {
  int digits = 1;
  for (int lines = std::max(1, blockCount()); lines >= 10; lines /= 10) ++digits;
  return 8 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * std::max(digits, 3);
}

void TQueryEditor::resizeEvent(QResizeEvent* Event) {
  QPlainTextEdit::resizeEvent(Event);
  const QRect r = contentsRect();
  FMargin->setGeometry(QRect(r.left(), r.top(), NumberMarginWidth(), r.height()));
}

void TQueryEditor::PaintNumbers(QPaintEvent* Event) {
  QPainter painter(FMargin);
  painter.fillRect(Event->rect(), palette().color(QPalette::Window));
  painter.setPen(palette().color(QPalette::PlaceholderText));
  painter.setFont(font());
  QTextBlock block = firstVisibleBlock();
  int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
  while (block.isValid() && top <= Event->rect().bottom()) {
    const int height = qRound(blockBoundingRect(block).height());
    if (block.isVisible() && top + height >= Event->rect().top())
      painter.drawText(0, top, FMargin->width() - 4, height, Qt::AlignRight | Qt::AlignVCenter,
                       QString::number(block.blockNumber() + 1));
    block = block.next();
    top += height;
  }
}

QString TQueryEditor::TextToRun(int& FirstLine) const {
  const QTextCursor cursor = textCursor();
  if (!cursor.hasSelection()) {
    FirstLine = 0;
    return toPlainText();
  }
  FirstLine = document()->findBlock(cursor.selectionStart()).blockNumber();
  // The selection's paragraph separators become line ends.
  return cursor.selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n')).replace(QChar::LineSeparator,
                                                                                             QLatin1Char('\n'));
}

void TQueryEditor::GoToLine(int Line) {
  const QTextBlock block = document()->findBlockByNumber(Line - 1);
  if (!block.isValid()) return;
  setTextCursor(QTextCursor(block));
  centerCursor();
  setFocus();
}

int TQueryEditor::CursorLine() const { return textCursor().blockNumber() + 1; }

int TQueryEditor::CursorColumn() const { return textCursor().positionInBlock() + 1; }

void TQueryEditor::keyPressEvent(QKeyEvent* Event) {
  const bool tab = Event->key() == Qt::Key_Tab && Event->modifiers() == Qt::NoModifier;
  const bool backtab = Event->key() == Qt::Key_Backtab;
  if ((tab && textCursor().hasSelection()) || backtab) {
    IndentSelection(backtab);
    return;
  }
  QPlainTextEdit::keyPressEvent(Event);
}

void TQueryEditor::IndentSelection(bool Back) {
  QTextCursor cursor = textCursor();
  const int start = cursor.selectionStart(), end = cursor.selectionEnd();
  QTextBlock first = document()->findBlock(start);
  QTextBlock last = document()->findBlock(end);
  // A selection that ends at the start of a line leaves that line alone.
  if (last != first && end == last.position()) last = last.previous();
  cursor.beginEditBlock();
  for (QTextBlock b = first; b.isValid(); b = b.next()) {
    QTextCursor line(b);
    if (!Back) {
      line.insertText(QStringLiteral("\t"));
    } else {
      const QString text = b.text();
      int take = 0;
      if (text.startsWith(QLatin1Char('\t')))
        take = 1;
      else
        while (take < kTabColumns && take < text.size() && text[take] == QLatin1Char(' ')) ++take;
      line.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor, take);
      line.removeSelectedText();
    }
    if (b == last) break;
  }
  cursor.endEditBlock();
  // The indented lines stay selected whole.
  QTextCursor selection(first);
  selection.setPosition(last.position() + last.length() - 1, QTextCursor::KeepAnchor);
  setTextCursor(selection);
}

}  // namespace vandrel::app
