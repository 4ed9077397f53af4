#include "app/ReportDlg.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace vandrel::app {
namespace {

QStyle::StandardPixmap Picture(MsgIcon Icon) {
  switch (Icon) {
    case MsgIcon::Error: return QStyle::SP_MessageBoxCritical;
    case MsgIcon::Warning: return QStyle::SP_MessageBoxWarning;
    case MsgIcon::Question: return QStyle::SP_MessageBoxQuestion;
    default: return QStyle::SP_MessageBoxInformation;
  }
}

QString Lines(const QString& Text) { return QString(Text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

// The screen the dialog opens on: its parent's, else the primary one.
QRect AvailableArea(const QWidget* Parent) {
  const QScreen* screen = Parent && Parent->screen() ? Parent->screen() : QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

}  // namespace

TReportDlg::TReportDlg(QWidget* Parent, const QString& Summary, const QString& Text, const QString& Caption,
                       MsgIcon Icon)
    : QDialog(Parent) {
  setObjectName(QStringLiteral("ReportDlg"));
  setWindowTitle(Caption);

  auto* icon = new QLabel(this);
  icon->setPixmap(style()->standardIcon(Picture(Icon)).pixmap(32, 32));
  icon->setAlignment(Qt::AlignTop);
  SummaryLabel = new QLabel(Lines(Summary), this);
  SummaryLabel->setWordWrap(true);
  SummaryLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  SummaryLabel->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  auto* top = new QHBoxLayout;
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addWidget(SummaryLabel, 1);

  TextBox = new QPlainTextEdit(this);
  TextBox->setReadOnly(true);
  TextBox->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  TextBox->setPlainText(Lines(Text));
  TextBox->setVisible(!Text.isEmpty());

  CopyButton = new QPushButton(QStringLiteral("Kopiuj"), this);
  CopyButton->setAutoDefault(false);
  OkButton = new QPushButton(QStringLiteral("OK"), this);
  OkButton->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(CopyButton);
  buttons->addStretch(1);
  buttons->addWidget(OkButton);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(TextBox, 1);
  layout->addLayout(buttons);

  connect(CopyButton, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(CopiedText()); });
  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);

  // Wide enough for a statement line, tall enough for the text up to most of the screen; the
  // rest scrolls.
  const QRect area = AvailableArea(Parent);
  const int width = std::min(720, area.width() * 9 / 10);
  const int lineHeight = TextBox->fontMetrics().lineSpacing();
  const int wanted = Text.isEmpty() ? 0 : (static_cast<int>(Lines(Text).count('\n')) + 3) * lineHeight;
  const int textHeight = std::clamp(wanted, Text.isEmpty() ? 0 : 6 * lineHeight, 24 * lineHeight);
  const int rest = sizeHint().height() - (TextBox->isVisibleTo(this) ? TextBox->sizeHint().height() : 0);
  setMaximumSize(area.size());
  resize(width, std::min(area.height() * 85 / 100, rest + textHeight));
}

QString TReportDlg::CopiedText() const {
  const QString text = TextBox->toPlainText();
  return text.isEmpty() ? SummaryLabel->text() : SummaryLabel->text() + QStringLiteral("\n\n") + text;
}

}  // namespace vandrel::app
