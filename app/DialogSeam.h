#pragma once
// The one door through which the tool asks the user anything: message boxes, modal dialogs
// and file choosers. The program uses the Qt implementation; tests install a scripted one.
#include <QString>

class QDialog;
class QWidget;

namespace vandrel::app {

enum class MsgIcon { Error, Warning, Information, Question };

// Buttons of a message box, combinable; a message box returns the one pressed.
// mbDefaultNo makes "Nie" the default button (Enter answers "Nie").
enum MsgButton : int { mbOK = 1, mbCancel = 2, mbYes = 4, mbNo = 8, mbDefaultNo = 16 };

class DialogSeam {
 public:
  virtual ~DialogSeam() = default;
  virtual int MessageBox(QWidget* Parent, const QString& Text, const QString& Caption,
                         MsgIcon Icon, int Buttons) = 0;
  // Runs the dialog modally; returns QDialog::Accepted or QDialog::Rejected.
  virtual int ExecDialog(QDialog* Dialog) = 0;
  // A file to open, or an empty text when the user cancels. Filter is the tool's form,
  // "caption|pattern|caption|pattern" (the server's own chooser takes the same).
  virtual QString OpenFileName(QWidget* Parent, const QString& Caption, const QString& Directory,
                               const QString& Filter) = 0;
  // A file to write, or an empty text when the user cancels (the chooser asks before it
  // names an existing file); Filter as above.
  virtual QString SaveFileName(QWidget* Parent, const QString& Caption, const QString& Directory,
                               const QString& Filter) = 0;
  // A report too long for a message box: Summary on top, Text below in a scrolling, selectable
  // area with "Kopiuj". Runs the report window through ExecDialog.
  virtual void ShowReport(QWidget* Parent, const QString& Summary, const QString& Text, const QString& Caption,
                          MsgIcon Icon);

  // The seam in use: the Qt one unless a test installed another (null restores the Qt one),
  // each of its modals shown under the normal cursor.
  static DialogSeam& Current();
  static void Install(DialogSeam* Seam);
};

// The tool's filter form as Qt's file dialog takes it: "caption (patterns)" for each pair,
// ";;" between them (a caption that already ends with its patterns is kept as it is).
QString QtFileFilter(const QString& Filter);

// Shorthand for the tool's many one-button messages.
int ShowMessage(QWidget* Parent, const QString& Text, const QString& Caption, MsgIcon Icon,
                int Buttons = mbOK);

// Shorthand for a report (see DialogSeam::ShowReport).
void ShowReport(QWidget* Parent, const QString& Summary, const QString& Text, const QString& Caption,
                MsgIcon Icon);

// A question before a command that cannot be undone from the tool: "Tak" and "Nie", with
// "Nie" the default. True when the user answered "Tak".
bool Confirm(QWidget* Parent, const QString& Question, const QString& Caption);

}  // namespace vandrel::app
