#include "app/WaitWindow.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace vandrel::app {

namespace {

// A statement can be long: the window shows its beginning.
constexpr int kWhatChars = 300;

}  // namespace

TWaitWindow::TWaitWindow(QWidget* Parent) : QDialog(Parent) {
  setWindowTitle(QStringLiteral("Proszę czekać"));
  setWindowModality(Qt::ApplicationModal);
  setWindowFlag(Qt::WindowCloseButtonHint, false);
  setMinimumWidth(360);
  auto* layout = new QVBoxLayout(this);
  WhatLabel = new QLabel(this);
  WhatLabel->setWordWrap(true);
  WhatLabel->setTextFormat(Qt::PlainText);
  ElapsedLabel = new QLabel(this);
  ProgressBar = new QProgressBar(this);
  ProgressBar->setRange(0, 100);
  ProgressBar->hide();
  MessageLabel = new QLabel(this);
  MessageLabel->setTextFormat(Qt::PlainText);
  MessageLabel->setWordWrap(true);
  MessageLabel->hide();
  StopButton = new QPushButton(QStringLiteral("Przerwij"), this);
  layout->addWidget(WhatLabel);
  layout->addWidget(ElapsedLabel);
  layout->addWidget(ProgressBar);
  layout->addWidget(MessageLabel);
  layout->addWidget(StopButton, 0, Qt::AlignHCenter);
  connect(StopButton, &QPushButton::clicked, this, [this] {
    StopButton->setEnabled(false);
    StopButton->setText(QStringLiteral("Przerywanie…"));
    emit StopRequested();
  });
  SetElapsed(0);
}

void TWaitWindow::SetWhat(const QString& What) {
  QString text = What.simplified();
  if (text.size() > kWhatChars) text = text.left(kWhatChars) + QStringLiteral("…");
  WhatLabel->setText(QStringLiteral("Trwa: ") + text);
  ProgressBar->hide();
  MessageLabel->hide();
  StopButton->setEnabled(true);
  StopButton->setText(QStringLiteral("Przerwij"));
}

void TWaitWindow::SetElapsed(int Seconds) {
  ElapsedLabel->setText(QStringLiteral("Czas: %1 s").arg(Seconds));
}

void TWaitWindow::SetProgress(int Percent, const QString& Message) {
  if (Percent >= 0) {
    ProgressBar->setValue(std::min(Percent, 100));
    ProgressBar->show();
  }
  MessageLabel->setText(Message);
  MessageLabel->show();
}

void TWaitWindow::reject() {
  if (StopButton->isEnabled()) StopButton->click();
}

void CloseWaitWindow(QPointer<TWaitWindow>& Window) {
  if (!Window) return;
  TWaitWindow* window = Window;
  Window = nullptr;
  window->hide();
  window->deleteLater();
  QApplication::restoreOverrideCursor();
}

}  // namespace vandrel::app
