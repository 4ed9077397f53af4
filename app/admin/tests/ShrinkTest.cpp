// "Zmniejsz bazę" through the window against msde-sim: the question with "Nie" as its default,
// the statement under the waiting window that names the work, the sizes in sysfiles that a
// second connection sees shrink, and the account; "Nie" and a check running send nothing.
#include <gmock/gmock.h>

#include <QLabel>

#include "app/WaitWindow.h"
#include "app/admin/tests/AdminFixture.h"

using namespace vandrel::app;
using namespace vandrel::app::testing;
using ::testing::HasSubstr;

namespace {

class Shrink : public RelayedAdminWindowTest {
 protected:
  // The pages of Database's files as another connection sees them.
  long long FilePages(const std::string& Database) {
    msde::testkit::OdbcClient c(Sim->Utf8ConnectionString("sa", ""));
    return std::stoll(c.Scalar("select sum(size) from [" + Database + "]..sysfiles"));
  }
};

TEST_F(Shrink, TheDatabaseGivesBackItsFreePagesAfterTheQuestion) {
  const long long before = FilePages("Sklep");
  SelectDatabase("Sklep");
  ASSERT_TRUE(Form->CommandEnabled(TCommandId::cmShrinkDatabase));
  // The statement is held until the waiting window shows; the window names the work, not
  // the statement.
  Proxy->HoldAt("DBCC SHRINKDATABASE");
  std::string waitingFor;
  QObject::connect(&Form->Waiter, &TStatementWaiter::WindowShown, [&] {
    waitingFor = Form->Waiter.Window()->WhatLabel->text().toStdString();
    Proxy->Release();
  });
  const size_t mark = Sim->TraceMark();
  Dialogs.MessageAnswers.push_back(mbYes);
  Run(TCommandId::cmShrinkDatabase);

  ASSERT_EQ(Dialogs.Messages.size(), 2u) << LastText();
  EXPECT_THAT(Dialogs.Messages[0].Text, HasSubstr("Czy zmniejszyć bazę \"Sklep\"?"));
  EXPECT_TRUE(Dialogs.Messages[0].Buttons & mbDefaultNo);
  EXPECT_THAT(SentStarting(mark, "DBCC"), ::testing::ElementsAre("DBCC SHRINKDATABASE (N'Sklep')"));
  EXPECT_EQ(waitingFor, "Trwa: Zmniejszanie bazy \"Sklep\"");
  const long long after = FilePages("Sklep");
  EXPECT_LT(after, before);
  EXPECT_EQ(LastCaption(), "Zmniejszanie bazy");
  EXPECT_THAT(LastText(), HasSubstr("Baza \"Sklep\" została zmniejszona"));
  EXPECT_THAT(LastText(), HasSubstr(" MB, teraz zajmują "));

  // Nothing is left to give back: a second shrink keeps the sizes.
  Dialogs.MessageAnswers.push_back(mbYes);
  Run(TCommandId::cmShrinkDatabase);
  EXPECT_EQ(FilePages("Sklep"), after);
}

TEST_F(Shrink, NieOrARunningCheckSendsNothing) {
  SelectDatabase("Sklep");
  const long long before = FilePages("Sklep");
  const size_t mark = Sim->TraceMark();
  Dialogs.MessageAnswers.push_back(mbNo);
  Run(TCommandId::cmShrinkDatabase);
  EXPECT_TRUE(SentSince(mark).empty()) << "nothing sent after \"Nie\"";
  EXPECT_EQ(FilePages("Sklep"), before);
  ASSERT_EQ(Dialogs.Messages.size(), 1u);

  TCheckRunning check(*Form);
  EXPECT_FALSE(Form->CommandEnabled(TCommandId::cmShrinkDatabase));
}

}  // namespace
