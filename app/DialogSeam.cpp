#include "app/DialogSeam.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include "app/MessageText.h"
#include "app/ReportDlg.h"
#include "foundation/qt/ModalRun.h"

namespace vandrel::app {
namespace {

class QtDialogs final : public DialogSeam {
 public:
  int MessageBox(QWidget* Parent, const QString& Text, const QString& Caption, MsgIcon Icon,
                 int Buttons) override {
    QMessageBox box(Parent);
    box.setWindowTitle(Caption);
    box.setText(WrappableMessageText(QString(Text).replace("\r\n", "\n")));
    // What the user copies from the box is the message without its break marks.
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, &box, [] {
      QClipboard* clipboard = QGuiApplication::clipboard();
      const QString copied = clipboard->text(), plain = PlainMessageText(copied);
      if (plain != copied) clipboard->setText(plain);
    });
    switch (Icon) {
      case MsgIcon::Error: box.setIcon(QMessageBox::Critical); break;
      case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
      case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
      case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    }
    const struct { int ours; QMessageBox::StandardButton qt; } map[] = {
        {mbOK, QMessageBox::Ok}, {mbCancel, QMessageBox::Cancel},
        {mbYes, QMessageBox::Yes}, {mbNo, QMessageBox::No}};
    QMessageBox::StandardButtons buttons;
    for (auto m : map)
      if (Buttons & m.ours) buttons |= m.qt;
    box.setStandardButtons(buttons ? buttons : QMessageBox::Ok);
    if (Buttons & mbDefaultNo) box.setDefaultButton(QMessageBox::No);
    const int pressed = box.exec();
    for (auto m : map)
      if (pressed == m.qt) return m.ours;
    return (Buttons & mbCancel) ? mbCancel : mbOK;
  }

  int ExecDialog(QDialog* Dialog) override { return Dialog->exec(); }

  QString OpenFileName(QWidget* Parent, const QString& Caption, const QString& Directory,
                       const QString& Filter) override {
    return QFileDialog::getOpenFileName(Parent, Caption, Directory, QtFileFilter(Filter));
  }
  QString SaveFileName(QWidget* Parent, const QString& Caption, const QString& Directory,
                       const QString& Filter) override {
    return QFileDialog::getSaveFileName(Parent, Caption, Directory, QtFileFilter(Filter));
  }
};

DialogSeam* installed = nullptr;

DialogSeam& Installed() {
  static QtDialogs qt;
  return installed ? *installed : qt;
}

// While the user answers a modal, the pointer is the normal one even when a statement's
// wait cursor is on; the wait cursor comes back when the modal closes.
class NormalCursor {
 public:
  NormalCursor() : FBusy(QApplication::overrideCursor() != nullptr) {
    if (FBusy) QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
  }
  ~NormalCursor() {
    if (FBusy) QApplication::restoreOverrideCursor();
  }
  NormalCursor(const NormalCursor&) = delete;
  NormalCursor& operator=(const NormalCursor&) = delete;

 private:
  bool FBusy;
};

// What callers reach: every modal of the installed seam under the normal cursor.
class CursorAwareSeam final : public DialogSeam {
 public:
  int MessageBox(QWidget* Parent, const QString& Text, const QString& Caption, MsgIcon Icon,
                 int Buttons) override {
    NormalCursor normal;
    return Installed().MessageBox(Parent, Text, Caption, Icon, Buttons);
  }
  int ExecDialog(QDialog* Dialog) override {
    NormalCursor normal;
    return Installed().ExecDialog(Dialog);
  }
  QString OpenFileName(QWidget* Parent, const QString& Caption, const QString& Directory,
                       const QString& Filter) override {
    NormalCursor normal;
    return Installed().OpenFileName(Parent, Caption, Directory, Filter);
  }
  QString SaveFileName(QWidget* Parent, const QString& Caption, const QString& Directory,
                       const QString& Filter) override {
    NormalCursor normal;
    return Installed().SaveFileName(Parent, Caption, Directory, Filter);
  }
  void ShowReport(QWidget* Parent, const QString& Summary, const QString& Text, const QString& Caption,
                  MsgIcon Icon) override {
    NormalCursor normal;
    Installed().ShowReport(Parent, Summary, Text, Caption, Icon);
  }
};

// The library's error dialog runs its window through the tool's seam like every other modal.
const bool ErrorDialogThroughTheSeam = [] {
  SetModalRunner([](QDialog* Dialog) { return DialogSeam::Current().ExecDialog(Dialog); });
  return true;
}();

}  // namespace

void DialogSeam::ShowReport(QWidget* Parent, const QString& Summary, const QString& Text, const QString& Caption,
                            MsgIcon Icon) {
  TReportDlg dialog(Parent, Summary, Text, Caption, Icon);
  ExecDialog(&dialog);
}

DialogSeam& DialogSeam::Current() {
  static CursorAwareSeam seam;
  return seam;
}

void DialogSeam::Install(DialogSeam* Seam) { installed = Seam; }

QString QtFileFilter(const QString& Filter) {
  const QStringList parts = Filter.split('|');
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    const QString patterns = QString(parts[i + 1]).replace(';', ' ');
    const QString own = " (" + patterns + ")";
    filters << (parts[i].endsWith(own) ? parts[i] : parts[i] + own);
  }
  return filters.join(";;");
}

int ShowMessage(QWidget* Parent, const QString& Text, const QString& Caption, MsgIcon Icon,
                int Buttons) {
  return DialogSeam::Current().MessageBox(Parent, Text, Caption, Icon, Buttons);
}

void ShowReport(QWidget* Parent, const QString& Summary, const QString& Text, const QString& Caption,
                MsgIcon Icon) {
  DialogSeam::Current().ShowReport(Parent, Summary, Text, Caption, Icon);
}

bool Confirm(QWidget* Parent, const QString& Question, const QString& Caption) {
  return ShowMessage(Parent, Question, Caption, MsgIcon::Question, mbYes | mbNo | mbDefaultNo) == mbYes;
}

}  // namespace vandrel::app
