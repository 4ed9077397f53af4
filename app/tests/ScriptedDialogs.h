#pragma once
// A dialog seam for tests: records every message box and answers dialogs from a script.
#include <QApplication>
#include <QDialog>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/DialogSeam.h"
#include "testkit/TempDir.h"

namespace vandrel::app::testing {

struct ShownMessage {
  std::string Text, Caption;
  MsgIcon Icon;
  int Buttons;
  std::string Summary;  // a report's summary (its whole text is Text)
};

class ScriptedDialogs : public DialogSeam {
 public:
  ScriptedDialogs() { Install(this); }
  ~ScriptedDialogs() override { Install(nullptr); }

  // Each dialog run takes the next answer: it may fill the dialog's fields and returns
  // QDialog::Accepted or QDialog::Rejected. Without an answer a dialog is rejected.
  std::deque<std::function<int(QDialog*)>> DialogAnswers;
  // Message boxes answer with the next button here, else with OK (or the first given).
  std::deque<int> MessageAnswers;
  std::vector<ShownMessage> Messages;
  std::vector<std::string> DialogsRun;
  // Called while any modal is up (before its answer), to look at the screen meanwhile.
  std::function<void()> DuringModal;

  int MessageBox(QWidget*, const QString& Text, const QString& Caption, MsgIcon Icon, int Buttons) override {
    Messages.push_back({Text.toStdString(), Caption.toStdString(), Icon, Buttons, {}});
    if (DuringModal) DuringModal();
    if (!MessageAnswers.empty()) {
      int a = MessageAnswers.front();
      MessageAnswers.pop_front();
      return a;
    }
    return (Buttons & mbOK) ? mbOK : (Buttons & mbYes) ? mbYes : Buttons;
  }
  int ExecDialog(QDialog* Dialog) override {
    DialogsRun.push_back(Dialog->objectName().toStdString());
    if (DuringModal) DuringModal();
    if (DialogAnswers.empty()) return QDialog::Rejected;
    auto answer = std::move(DialogAnswers.front());
    DialogAnswers.pop_front();
    return answer(Dialog);
  }
  QString OpenFileName(QWidget*, const QString&, const QString& Directory, const QString&) override {
    FileDirectories.push_back(Directory);
    return NextFile(FileAnswers);
  }
  std::deque<QString> FileAnswers;
  std::vector<QString> FileDirectories;  // where each file chooser was to start
  // The files to write, in turn; none left: cancelled.
  QString SaveFileName(QWidget*, const QString&, const QString&, const QString&) override {
    return NextFile(SaveAnswers);
  }
  std::deque<QString> SaveAnswers;

  // A report is recorded with the messages; its window runs (through ExecDialog, answered from
  // DialogAnswers) only when a test asks to see it.
  bool RunReportWindows = false;
  void ShowReport(QWidget* Parent, const QString& Summary, const QString& Text, const QString& Caption,
                  MsgIcon Icon) override {
    Messages.push_back({Text.toStdString(), Caption.toStdString(), Icon, mbOK, Summary.toStdString()});
    if (RunReportWindows)
      DialogSeam::ShowReport(Parent, Summary, Text, Caption, Icon);
    else if (DuringModal)
      DuringModal();
  }

 private:
  static QString NextFile(std::deque<QString>& Answers) {
    if (Answers.empty()) return {};
    QString f = Answers.front();
    Answers.pop_front();
    return f;
  }
};

// The one QApplication of a test process, offscreen.
inline QApplication& TestApplication() {
  static int argc = 1;
  static char name[] = "vandrel-test";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // What the tool keeps for the user (the servers connected to) stays in the test's own
  // directory, removed at the end; a test that wants a store of its own sets its own.
  static msde::testkit::TempDir user("vandrel-user");
  if (!qEnvironmentVariableIsSet("VANDREL_REGISTRY_DIR")) qputenv("VANDREL_REGISTRY_DIR", QByteArray::fromStdString(user.Path()));
  // Never destroyed: input devices that Qt creates for simulated clicks must not outlive it
  // in the order of the process's exit handlers.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace vandrel::app::testing
