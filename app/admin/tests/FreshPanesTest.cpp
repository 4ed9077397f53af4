// The pane beside the tree never says yesterday's state: after a command it shows the chosen
// node as the server now reports it, after a restore the restored database in both halves,
// and a rebuild leaves the nodes the user opened or closed as they were.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/admin/RestoreDlg.h"
#include "app/admin/tests/AdminFixture.h"

using namespace vandrel::app;
using namespace vandrel::app::testing;

namespace {

using FreshPanes = AdminWindowTest;

TEST_F(FreshPanes, AfterACommandThePaneShowsTheStateTheServerNowReports) {
  SelectDatabase("Archiwum2006 (Offline)");
  EXPECT_EQ(DetailValue(QStringLiteral("Tryb offline: ")), QStringLiteral("Włączony"));
  Run(TCommandId::cmBringOnline);
  EXPECT_EQ(LastText(), "Baza \"Archiwum2006\" została włączona");
  // Still the database chosen, now under the state it has: online and read only.
  const TNodeIdentity chosen = Form->SelectedIdentity();
  EXPECT_EQ(chosen.Database, "Archiwum2006");
  EXPECT_EQ(chosen.Kind, nkDatabaseReadOnly);
  EXPECT_EQ(Form->TreeView1->currentItem()->text(0), QStringLiteral("Archiwum2006 (Tylko do odczytu)"));
  EXPECT_EQ(DetailValue(QStringLiteral("Tryb offline: ")), QStringLiteral("Wyłączony"));
  EXPECT_EQ(DetailValue(QStringLiteral("Baza w trybie tylko do odczytu: ")), QStringLiteral("Włączony"));
}

TEST_F(FreshPanes, AfterARestoreTheTreeAndThePaneShowTheRestoredDatabase) {
  const std::string file = "C:\\Program Files\\Microsoft SQL Server\\MSSQL\\BACKUP\\Hurtownia.bak";
  msde::testkit::OdbcClient admin(Sim->Utf8ConnectionString("sa", ""));
  ASSERT_TRUE(admin.Exec("BACKUP DATABASE Hurtownia TO DISK = N'" + file + "' WITH INIT").ok);
  SelectDatabase("Sklep");
  Dialogs.DialogAnswers.push_back([file](QDialog* d) {
    auto* dlg = static_cast<admin::TRestoreDlg*>(d);
    dlg->FileEdit->setText(QString::fromStdString(file));
    dlg->ReadBtn->click();
    d->setResult(QDialog::Rejected);
    dlg->OKBtn->click();
    return d->result();
  });
  Dialogs.MessageAnswers = {mbYes};
  Run(TCommandId::cmRestore);
  ASSERT_THAT(LastText(), HasSubstr("Baza \"Hurtownia\" została odtworzona"));
  EXPECT_EQ(Form->SelectedIdentity().Database, "Hurtownia");
  EXPECT_EQ(Form->TreeView1->currentItem()->text(0), QStringLiteral("Hurtownia"));
  EXPECT_EQ(DetailValue(QStringLiteral("Nazwa bazy: ")), QStringLiteral("Hurtownia"));
}

// On screen, where choosing a node opens the nodes above it: a database the user closed
// stays closed after F5, though a folder inside it was open and is filled again.
TEST_F(FreshPanes, F5KeepsADatabaseTheUserClosedClosed) {
  Form->resize(1000, 600);
  Form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
  QTreeWidgetItem* tables = NodeUnder(Node("Sklep"), "Tabele");
  Select(tables);
  tables->setExpanded(true);
  ASSERT_GT(tables->childCount(), 0);
  SelectDatabase("Hurtownia");
  Node("Sklep")->setExpanded(false);
  Form->FormKeyDown(Qt::Key_F5);
  EXPECT_FALSE(Node("Sklep")->isExpanded());
  EXPECT_TRUE(NodeUnder(Node("Sklep"), "Tabele")->isExpanded());
  EXPECT_GT(NodeUnder(Node("Sklep"), "Tabele")->childCount(), 0);
  EXPECT_EQ(Form->SelectedIdentity().Database, "Hurtownia");
  EXPECT_EQ(DetailValue(QStringLiteral("Nazwa bazy: ")), QStringLiteral("Hurtownia"));
}

}  // namespace
