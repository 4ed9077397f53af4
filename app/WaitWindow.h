#pragma once
// The small modal window shown while a statement runs longer than a moment: what runs, for
// how long, the server's progress when it sends any, and "Przerwij".
#include <QDialog>
#include <QPointer>

class QLabel;
class QProgressBar;
class QPushButton;

namespace vandrel::app {

class TWaitWindow : public QDialog {
  Q_OBJECT
 public:
  explicit TWaitWindow(QWidget* Parent);

  // What runs: a command's own caption or the statement's text.
  void SetWhat(const QString& What);
  void SetElapsed(int Seconds);
  // A message of the running statement; Percent >= 0 moves the progress bar.
  void SetProgress(int Percent, const QString& Message);

  QLabel* WhatLabel = nullptr;
  QLabel* ElapsedLabel = nullptr;
  QLabel* MessageLabel = nullptr;
  QProgressBar* ProgressBar = nullptr;
  QPushButton* StopButton = nullptr;  // "Przerwij"

 signals:
  // The user asked to stop the statement (the button, Escape or closing the window).
  void StopRequested();

 protected:
  void reject() override;
};

// Hides Window, deletes it once its events are done and gives back the cursor that was set
// over the application when it was shown; nothing when Window is already gone.
void CloseWaitWindow(QPointer<TWaitWindow>& Window);

}  // namespace vandrel::app
