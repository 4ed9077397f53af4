// The connection dialog's handlers keep the port field consistent with the network library.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QCompleter>
#include <QTest>

#include "app/ConnectionString.h"
#include "app/PasswordDlg.h"
#include "app/tests/ScriptedDialogs.h"

using namespace vandrel::app;

TEST(PasswordDlg, NamedPipesFollowTheServerName) {
  vandrel::app::testing::TestApplication();
  TPasswordDlg dlg(nullptr);
  EXPECT_EQ(dlg.size(), QSize(350, 282));
  dlg.Edit1->setText("HOST");
  dlg.Biblioteka->setEditText("Named Pipes");
  EXPECT_EQ(dlg.Label5->text(), "Pipe name:");
  EXPECT_EQ(dlg.Port->text(), "\\\\HOST\\pipe\\sql\\query");
  EXPECT_FALSE(dlg.PortIsGrey());
  EXPECT_TRUE(dlg.Dynamiczny->isHidden());
  dlg.Edit1->setText("KASA2");
  EXPECT_EQ(dlg.Port->text(), "\\\\KASA2\\pipe\\sql\\query");
  EXPECT_TRUE(BuildConnectionString(dlg.Fields()).ends_with("Network=DBNMPNTW;Address={KASA2};"));
  EXPECT_TRUE(dlg.FixedPort().isEmpty());

  dlg.Biblioteka->setEditText("Gniazda TCP/IP");
  EXPECT_EQ(dlg.Label5->text(), "Port:");
  EXPECT_FALSE(dlg.Dynamiczny->isHidden());
  EXPECT_TRUE(dlg.Dynamiczny->isChecked());
  EXPECT_TRUE(dlg.PortIsGrey());
}

TEST(PasswordDlg, DynamicPortCheckBox) {
  vandrel::app::testing::TestApplication();
  TPasswordDlg dlg(nullptr);
  EXPECT_TRUE(dlg.PortIsGrey());
  dlg.Dynamiczny->click();  // cleared
  EXPECT_EQ(dlg.Port->text(), "1433");
  EXPECT_FALSE(dlg.PortIsGrey());
  EXPECT_EQ(dlg.FixedPort(), "1433");
  dlg.Port->setText("14331");
  EXPECT_EQ(dlg.FixedPort(), "14331");
  dlg.Dynamiczny->click();  // set again
  EXPECT_TRUE(dlg.Port->text().isEmpty());
  EXPECT_TRUE(dlg.PortIsGrey());
  EXPECT_TRUE(dlg.FixedPort().isEmpty());

  // Back from named pipes with the box cleared: setting it runs its handler and empties the port.
  dlg.Dynamiczny->click();
  dlg.Biblioteka->setEditText("Named Pipes");
  dlg.Biblioteka->setEditText("Gniazda TCP/IP");
  EXPECT_TRUE(dlg.Dynamiczny->isChecked());
  EXPECT_TRUE(dlg.Port->text().isEmpty());
}

TEST(PasswordDlg, TabGoesDownTheFormFromThePassword) {
  vandrel::app::testing::TestApplication();
  TPasswordDlg dlg(nullptr);
  // The widgets that take focus by Tab, in chain order from the password field.
  QList<QWidget*> order;
  QWidget* w = dlg.Edit3;
  for (int guard = 0; guard < 100 && order.size() < 8; ++guard, w = w->nextInFocusChain())
    if (QWidget* x = w == dlg.Biblioteka->lineEdit() ? dlg.Biblioteka : w;
        (x->focusPolicy() & Qt::TabFocus) && !order.contains(x))
      order << x;
  // From the user, Tab reaches the masked password field, never the editable library list.
  const QList<QWidget*> expected = {dlg.Edit3, dlg.Port, dlg.Dynamiczny, dlg.OKBtn, dlg.CancelBtn,
                                    dlg.Edit1, dlg.Biblioteka, dlg.Edit2};
  EXPECT_EQ(order, expected);
  EXPECT_TRUE(dlg.OKBtn->isDefault());
  EXPECT_EQ(dlg.Edit3->echoMode(), QLineEdit::Password);
}

// The port field holds a TCP port only, and what is typed into it replaces the 1433 it was
// given; a named pipe is still free text.
TEST(PasswordDlg, PortTakesOneTo65535AndTypingReplacesTheFilledPort) {
  vandrel::app::testing::TestApplication();
  TPasswordDlg dlg(nullptr);
  dlg.show();
  dlg.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
  dlg.Dynamiczny->click();
  ASSERT_EQ(dlg.Port->text(), "1433");
  dlg.Port->setFocus();
  QTRY_VERIFY(dlg.Port->hasSelectedText());
  QTest::keyClicks(dlg.Port, "1435");
  EXPECT_EQ(dlg.Port->text(), "1435");
  dlg.Port->selectAll();
  QTest::keyClicks(dlg.Port, "70000x");
  EXPECT_EQ(dlg.Port->text(), "7000");
  dlg.Port->clear();
  QTest::keyClicks(dlg.Port, "-1");
  EXPECT_EQ(dlg.Port->text(), "1");
  dlg.Biblioteka->setEditText("Named Pipes");
  dlg.Port->selectAll();
  QTest::keyClicks(dlg.Port, "\\\\KASA\\pipe\\x");
  EXPECT_EQ(dlg.Port->text(), "\\\\KASA\\pipe\\x");
}

// A user taken from the recent list never keeps the password typed for another.
TEST(PasswordDlg, ChoosingAnotherRecentUserClearsThePassword) {
  vandrel::app::testing::TestApplication();
  TPasswordDlg dlg(nullptr);
  dlg.SetRecent({{"KASA1", "kasjer"}, {"(local)", "sa"}});
  dlg.Edit3->setText("tajne");
  emit dlg.UserChoices->activated(QStringLiteral("kasjer"));
  EXPECT_EQ(dlg.Edit2->text(), "kasjer");
  EXPECT_TRUE(dlg.Edit3->text().isEmpty());
  dlg.Edit3->setText("tajne2");
  emit dlg.ServerChoices->activated(QStringLiteral("(local)"));
  EXPECT_EQ(dlg.Edit2->text(), "sa");
  EXPECT_TRUE(dlg.Edit3->text().isEmpty());
  dlg.Edit3->setText("tajne3");
  emit dlg.ServerChoices->activated(QStringLiteral("(local)"));  // the same user: the password stays
  EXPECT_EQ(dlg.Edit3->text(), "tajne3");
}
