// The library's error dialog runs through the tool's dialog seam like every other modal, so
// a script answers it and the wait cursor gives way to the normal pointer meanwhile.
#include <gtest/gtest.h>

#include <QCursor>
#include <QPlainTextEdit>

#include "app/tests/ScriptedDialogs.h"
#include "foundation/MacError.h"
#include "foundation/qt/ErrorDetailsForm.h"

using namespace vandrel;
using namespace vandrel::app;

TEST(ErrorDialogSeam, ShowNowRunsTheErrorWindowThroughTheSeam) {
  vandrel::app::testing::TestApplication();
  vandrel::app::testing::ScriptedDialogs Script;
  std::string Shown;
  bool NormalPointer = false;
  Script.DialogAnswers.push_back([&](QDialog* Dialog) {
    auto* Form = dynamic_cast<TFmMacErrorDetails*>(Dialog);
    if (Form) Shown = Form->MessageBox()->toPlainText().toStdString();
    NormalPointer = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::ArrowCursor;
    return int(QDialog::Accepted);
  });
  QApplication::setOverrideCursor(Qt::WaitCursor);
  EMToolsError(7, "", nullptr).ShowNow();
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  QApplication::restoreOverrideCursor();
  EXPECT_EQ(Script.DialogsRun, std::vector<std::string>{"FmMacErrorDetails"});
  EXPECT_EQ(Shown, "[TOOLS/7] Błąd narzędzi podstawowych");
  EXPECT_TRUE(NormalPointer);
}
