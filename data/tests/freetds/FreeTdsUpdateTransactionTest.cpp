// The library's update arrays and transactions over FreeTDS against msde-sim: rows inserted
// through parameter arrays, StartTransaction with Commit and Rollback as the driver turns
// autocommit off and on, and a server's refusal inside an array.
#include <gtest/gtest.h>

#include "data/OdbcError.h"
#include "data/OdbcLink.h"
#include "data/Query.h"
#include "data/SqlUpdate.h"
#include "testkit/OdbcClient.h"
#include "testkit/SimServer.h"

using namespace vandrel;

namespace {

class FreeTdsUpdateTransaction : public ::testing::Test {
 protected:
  void SetUp() override {
    Link.OnGetConnectString = [this](TMOdbcLink*, AnsiString& S, const AnsiString, const AnsiString,
                                     const AnsiString, TMOdbcConnectOption& Option, HWND&) {
      S = Sim.Utf8ConnectionString("sa", "");
      Option = mcoNoPrompt;
    };
    Link.SetConnected(true);
    Link.ExecSQL("use Sklep", nullptr);
  }
  // Read on a connection of its own, as another workstation sees the table.
  std::string Scalar(const std::string& Sql) {
    msde::testkit::OdbcClient other(Sim.Utf8ConnectionString("sa", ""));
    return other.Scalar(Sql);
  }
  std::string OwnScalar(const std::string& Sql) {
    TKMQuery q;
    q.SetLink(&Link);
    q.GetSQL().SetText(Sql);
    q.Open();
    return q.GetFields()->GetFields(0)->GetAsString();
  }
  void PrepareInsert(TMUpdate& u) {
    u.SetLink(&Link);
    u.SetTypeTable("dbo.Kasjerzy");
    u.GetSQL().SetText("insert into dbo.Kasjerzy (IdKasjera, Imie, Nazwisko) values (:IdKasjera, :Imie, :Nazwisko)");
    for (const char* n : {"IdKasjera", "Imie", "Nazwisko"}) {
      u.ParamByName(n)->SetParamOption(mpoInput);
      u.ParamByName(n)->SetTypeField(n);
    }
  }

  msde::testkit::SimServer Sim;
  TMOdbcLink Link;
};

TEST_F(FreeTdsUpdateTransaction, UpdateArraysInsertEveryRow) {
  TMUpdate u;
  PrepareInsert(u);
  u.BeginUpdate();
  int executed = 0;
  for (int i = 0; i < 45; ++i) {
    u.ParamByName("IdKasjera")->SetAsInteger(100 + i);
    u.ParamByName("Imie")->SetAsString("Łucja");
    u.ParamByName("Nazwisko")->SetAsString("Wiśniewska " + std::to_string(i));
    executed += u.ExecSQL();
  }
  EXPECT_EQ(executed, 40);  // two full arrays of twenty; five rows still pending
  u.Fetch();
  u.EndUpdate();
  EXPECT_EQ(Scalar("select count(*) from Sklep.dbo.Kasjerzy where IdKasjera >= 100"), "45");
  EXPECT_EQ(Scalar("select Imie + ' ' + Nazwisko from Sklep.dbo.Kasjerzy where IdKasjera = 144"), "Łucja Wiśniewska 44");
}

TEST_F(FreeTdsUpdateTransaction, ARowTheServerRefusesFailsItsArray) {
  TMUpdate u;
  PrepareInsert(u);
  u.BeginUpdate();
  u.ParamByName("IdKasjera")->SetAsInteger(3);  // a cashier who exists: the primary key refuses
  u.ParamByName("Imie")->SetAsString("Ola");
  u.ExecSQL();
  try {
    u.Fetch();
    FAIL() << "a duplicate key was accepted";
  } catch (const EMOdbcError& e) {
    EXPECT_EQ(e.GetNativeError(), 2627);
  }
  u.EndUpdate();
  EXPECT_EQ(Scalar("select Imie from Sklep.dbo.Kasjerzy where IdKasjera = 3"), "Małgorzata");
}

TEST_F(FreeTdsUpdateTransaction, RollbackUndoesAndCommitKeeps) {
  const size_t mark = Sim.TraceMark();
  Link.StartTransaction();
  EXPECT_TRUE(Link.GetInTransaction());
  Link.ExecSQL("delete from dbo.Kasjerzy where IdKasjera = 5", nullptr);
  EXPECT_EQ(OwnScalar("select @@trancount"), "1");
  Link.Rollback();
  EXPECT_FALSE(Link.GetInTransaction());
  EXPECT_EQ(Scalar("select count(*) from Sklep.dbo.Kasjerzy"), "5");
  EXPECT_EQ(OwnScalar("select @@trancount"), "0");
  // The driver opened the transaction itself and ended it with its own conditional batch.
  std::vector<std::string> sent;
  for (const auto& line : Sim.TraceSince(mark)) sent.push_back(line.Text);
  ASSERT_GE(sent.size(), 4u);
  EXPECT_EQ(sent[0], "BEGIN TRANSACTION");
  EXPECT_EQ(sent[3], "IF @@TRANCOUNT > 0 ROLLBACK");

  Link.StartTransaction();
  Link.ExecSQL("update dbo.Kasjerzy set Imie = N'Żaneta' where IdKasjera = 5", nullptr);
  Link.Commit();
  EXPECT_EQ(Scalar("select Imie from Sklep.dbo.Kasjerzy where IdKasjera = 5"), "Żaneta");
  EXPECT_EQ(OwnScalar("select @@trancount"), "0");
}

TEST_F(FreeTdsUpdateTransaction, ADisconnectRollsBackWhatWasNotCommitted) {
  Link.StartTransaction();
  Link.ExecSQL("delete from dbo.Kasjerzy", nullptr);
  Link.SetConnected(false);
  EXPECT_EQ(Scalar("select count(*) from Sklep.dbo.Kasjerzy"), "5");
}

}  // namespace
