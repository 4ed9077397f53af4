// The menus from the keyboard (a mnemonic on every menu and command, Alt+letter, a letter in
// an open menu) and Qt's own texts in Polish.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QLocale>
#include <QMessageBox>
#include <QTest>

#include <QTextLayout>

#include "app/MainWindow.h"
#include "app/MessageText.h"
#include "app/QtTranslation.h"
#include "app/tests/ScriptedDialogs.h"

using namespace vandrel::app;

namespace {

// The letter after the one "&" of a menu text, lower-cased; empty when there is none.
QString Mnemonic(const QString& Text) {
  for (qsizetype i = 0; i + 1 < Text.size(); ++i) {
    if (Text[i] != '&') continue;
    if (Text[i + 1] == '&') { ++i; continue; }
    return Text.mid(i + 1, 1).toLower();
  }
  return {};
}

// Every item of a menu (and of its submenus) has a mnemonic that no sibling shares.
void ExpectMnemonics(const QString& Where, const QList<QAction*>& Actions) {
  QStringList taken;
  for (QAction* a : Actions) {
    if (a->isSeparator()) continue;
    const QString m = Mnemonic(a->text());
    EXPECT_FALSE(m.isEmpty()) << Where.toStdString() << ": " << a->text().toStdString();
    EXPECT_FALSE(taken.contains(m)) << Where.toStdString() << ": '" << m.toStdString() << "' twice, "
                                    << a->text().toStdString();
    taken << m;
    if (a->menu()) ExpectMnemonics(CaptionOf(a->text()), a->menu()->actions());
  }
}

class MenusAndTexts : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { vandrel::app::testing::TestApplication(); }
  vandrel::app::testing::ScriptedDialogs Dialogs;  // the first show's connection dialog is cancelled
  TForm1 Form;
};

TEST_F(MenusAndTexts, EveryMenuAndCommandHasItsOwnMnemonic) {
  ExpectMnemonics("menu bar", Form.menuBar()->actions());
  ExpectMnemonics("PopupMenu1", Form.PopupMenu1->actions());
  ExpectMnemonics("PopupMenu2", Form.PopupMenu2->actions());
  // A command is found by its identifier in every place, each showing the label with its mark.
  ASSERT_EQ(Form.Commands(TCommandId::cmDetach).size(), 2);
  for (QAction* a : Form.Commands(TCommandId::cmDetach)) EXPECT_EQ(a->text(), QStringLiteral("O&dłącz bazę"));
  EXPECT_EQ(Form.Commands(TCommandId::cmRepairFull).size(), 2);
  EXPECT_EQ(CommandCaption(TCommandId::cmSingleUser), "Ustaw bazę w tryb \"Single User\"");
}

TEST_F(MenusAndTexts, AltAndALetterOpenAMenuAndALetterChoosesItsCommand) {
  Form.TreeReady = false;
  Form.show();
  Form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&Form));
  QCoreApplication::processEvents();  // the first show ran: its dialog was cancelled
  ASSERT_TRUE(Form.CommandChecked(TCommandId::cmShowColumnStructure));

  QTest::keyClick(&Form, Qt::Key_K, Qt::AltModifier);
  auto* open = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(open, nullptr) << "Alt+K opened no menu";
  EXPECT_EQ(CaptionOf(open->title()), "Konfiguracja");
  QTest::keyClick(open, Qt::Key_Z);  // "Wyświetlanie kolumn - &zawartość"
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);  // choosing closes the menu
  EXPECT_TRUE(Form.CommandChecked(TCommandId::cmShowTableContents));
  EXPECT_FALSE(Form.CommandChecked(TCommandId::cmShowColumnStructure));

  // A submenu from the keyboard: Alt+B, N opens "Naprawa baz danych", Escape twice closes.
  QTest::keyClick(&Form, Qt::Key_B, Qt::AltModifier);
  auto* bazy = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(bazy, nullptr);
  QTest::keyClick(bazy, Qt::Key_N);
  auto* repair = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(repair, nullptr);
  EXPECT_EQ(CaptionOf(repair->title()), "Naprawa baz danych");
  QTest::keyClick(repair, Qt::Key_Escape);
  if (QWidget* still = QApplication::activePopupWidget()) QTest::keyClick(still, Qt::Key_Escape);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST(QtTexts, StandardButtonsReadPolish) {
  vandrel::app::testing::TestApplication();
  ASSERT_TRUE(LoadQtTranslation(*QCoreApplication::instance()))
      << "Qt's Polish translation (qt6-translations-l10n) is not installed";
  QMessageBox box;
  box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel | QMessageBox::Ok);
  EXPECT_EQ(CaptionOf(box.button(QMessageBox::Yes)->text()), "Tak");
  EXPECT_EQ(CaptionOf(box.button(QMessageBox::No)->text()), "Nie");
  EXPECT_EQ(CaptionOf(box.button(QMessageBox::Cancel)->text()), "Anuluj");
  EXPECT_EQ(CaptionOf(box.button(QMessageBox::Ok)->text()), "OK");
  // The file chooser's dates: Polish month names whatever the user's locale.
  EXPECT_EQ(QLocale().monthName(3), QStringLiteral("marca"));
}

// A path in a message box breaks after one of its "\\" (or at a blank), never inside a name
// such as "MSSQL.1", at any width the box may take; what is copied is the message itself.
TEST(MessageText, APathBreaksOnlyAfterItsBackslashes) {
  vandrel::app::testing::TestApplication();
  const QString text = QStringLiteral("Nie można otworzyć pliku C:\\Program Files\\Microsoft SQL "
                                      "Server\\MSSQL.1\\MSSQL\\Data\\SklepPoludnie_Data.MDF.");
  const QString shown = WrappableMessageText(text);
  EXPECT_EQ(PlainMessageText(shown), text);
  const QFontMetrics metrics(QApplication::font());
  for (int width = 60; width <= 400; width += 20) {
    QTextLayout layout(shown, QApplication::font());
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(width);
      if (line.textStart() == 0) continue;
      const QString before = PlainMessageText(shown.left(line.textStart()));
      EXPECT_TRUE(before.endsWith('\\') || before.endsWith(' ')) << width << ": " << before.toStdString();
    }
    layout.endLayout();
  }
}

}  // namespace
