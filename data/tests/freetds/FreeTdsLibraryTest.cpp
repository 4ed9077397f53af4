// The data-access library against SQL Server behaviour, through FreeTDS and msde-sim.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "data/OdbcError.h"
#include "foundation/Utf8.h"
#include "data/OdbcLink.h"
#include "data/OdbcSqlUpdate.h"
#include "data/Query.h"
#include "data/SqlUpdate.h"
#include "testkit/OdbcClient.h"
#include "testkit/SimServer.h"

using namespace vandrel;

namespace {

class FreeTdsLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    Link.SetQueryTimeout(0);
    Link.OnGetConnectString = [this](TMOdbcLink*, AnsiString& S, const AnsiString, const AnsiString,
                                     const AnsiString, TMOdbcConnectOption& Option, HWND&) {
      S = Sim.Utf8ConnectionString("sa", "");
      Option = mcoNoPrompt;
    };
    Link.SetConnected(true);
    Query.SetLink(&Link);
  }
  void Run(const std::string& Text, bool Open) {
    Query.Close();
    Query.GetSQL().SetText(Text);
    if (Open)
      Query.Open();
    else
      Query.ExecSQL();
  }
  int OdbcCode(const std::function<void()>& Action) {
    try {
      Action();
    } catch (const EMOdbcError& e) {
      return e.Code;
    }
    return 0;
  }
  // The error an action raises; an error of code 0 when it succeeds.
  EMOdbcError ErrorOf(const std::function<void()>& Action) {
    try {
      Action();
    } catch (const EMOdbcError& e) {
      return e;
    }
    return EMOdbcError(0, 0, nullptr);
  }

  msde::testkit::SimServer Sim;
  TMOdbcLink Link;
  TKMQuery Query;
};

TEST_F(FreeTdsLibrary, UniqueIdentifierColumnIsRefusedAtOpen) {
  Run("use Sklep", false);
  EXPECT_EQ(OdbcCode([&] { Run("select * from dbo.Stanowiska", true); }), 413);
  EXPECT_FALSE(Query.GetActive());
}

TEST_F(FreeTdsLibrary, UniqueIdentifierColumnReadsAsTextWhenTheQueryAsks) {
  Run("use Sklep", false);
  Query.SetGuidsAsText(true);
  Run("select * from dbo.Stanowiska", true);
  ASSERT_FALSE(Query.GetEof());
  EXPECT_EQ(Query.GetFields()->GetFields(0)->GetDataType(), mftString);
  EXPECT_EQ(Query.GetFields()->GetFields(0)->GetAsString(), "E9F11C38-8E52-407A-AE32-746C5A714132");
  EXPECT_EQ(Query.GetFields()->GetFields(1)->GetAsString(), "KASA1");
}

TEST_F(FreeTdsLibrary, SqlVariantColumnsReadAsText) {
  Run("select SERVERPROPERTY('ProductVersion'), DATABASEPROPERTYEX('Sklep', 'Status'), "
      "SERVERPROPERTY('InstanceName')",
      true);
  ASSERT_FALSE(Query.GetEof());
  EXPECT_EQ(Query.GetFields()->GetFields(0)->GetDataType(), mftString);
  EXPECT_EQ(Query.GetFields()->GetFields(0)->GetAsString(), "8.00.2039");
  EXPECT_EQ(Query.GetFields()->GetFields(1)->GetAsString(), "ONLINE");
  EXPECT_TRUE(Query.GetFields()->GetFields(2)->GetIsNull());
}

TEST_F(FreeTdsLibrary, LongVarcharReadsBackItsFirst255Characters) {
  Run("use Sklep", false);
  Run("select Wartosc from dbo.Ustawienia where len(Wartosc) = 300", true);
  ASSERT_FALSE(Query.GetEof());
  EXPECT_EQ(utf8::Length(Query.GetFields()->GetFields(0)->GetAsString()), 255u);
}

TEST_F(FreeTdsLibrary, InformationalRecordsOfUseAreCollected) {
  Query.SetCollectDriverInfo(true);
  Run("use Hurtownia", true);
  const auto& info = Query.GetDriverInfo();
  ASSERT_FALSE(info.empty());
  EXPECT_NE(info.front().find("5701"), std::string::npos) << info.front();
  EXPECT_NE(info.front().find("Hurtownia"), std::string::npos) << info.front();
}

TEST_F(FreeTdsLibrary, QueryTimeoutCutsALongWait) {
  Link.SetQueryTimeout(1);
  try {
    Run("WAITFOR DELAY '00:00:05'", true);
    FAIL() << "the wait was not cut off";
  } catch (const EMOdbcError& e) {
    ASSERT_GT(e.GetTopicCount(), 1);  // the driver's diagnostics hang under the library's error
    std::string driverTexts;
    for (int i = 1; i < e.GetTopicCount(); ++i) driverTexts += e.GetTopics(i)->GetDescription() + "\n";
    EXPECT_NE(driverTexts.find("HYT00"), std::string::npos) << driverTexts;
  }
  // The connection still serves statements afterwards.
  Link.SetQueryTimeout(0);
  Run("select 1", true);
  EXPECT_FALSE(Query.GetEof());
}

TEST_F(FreeTdsLibrary, BatchWhoseSecondStatementFailsIsAFailure) {
  Run("use Sklep", false);
  EMOdbcError exec = ErrorOf([&] { Run("select count(*) from dbo.Towary\r\nselect * from dbo.NieMaTakiej", false); });
  EXPECT_EQ(exec.Code, 412);
  EXPECT_EQ(exec.GetNativeError(), 208);
  EMOdbcError open = ErrorOf([&] { Run("select count(*) from dbo.Towary\r\nselect * from dbo.NieMaTakiej", true); });
  EXPECT_EQ(open.Code, 416);
  EXPECT_EQ(open.GetNativeError(), 208);
  EXPECT_FALSE(Query.GetActive());
  // The connection serves the next statement as before.
  Run("select count(*) from dbo.Towary", true);
  EXPECT_EQ(Query.GetFields()->GetFields(0)->GetAsInteger(), 40);
}

TEST_F(FreeTdsLibrary, ProcedureErrorAfterItsRowCountFailsTheCall) {
  Run("use Sklep", false);
  const size_t mark = Sim.TraceMark();
  EMOdbcError e = ErrorOf([&] { Run("exec ZamknijZmiany", false); });
  EXPECT_EQ(e.Code, 412);
  EXPECT_EQ(e.RetCode, SQL_ERROR);
  EXPECT_EQ(e.GetNativeError(), 50000);
  ASSERT_GE(e.GetTopicCount(), 2);
  EXPECT_NE(e.GetTopics(1)->GetDescription().find("Zmiana 12 zamknięta bez stanu końcowego kasy."), std::string::npos)
      << e.GetTopics(1)->GetDescription();
  // The procedure ran once, and its change before the error stands.
  const auto sent = Sim.TraceSince(mark);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].Text, "exec ZamknijZmiany");
  msde::testkit::OdbcClient other(Sim.Utf8ConnectionString("sa", ""));
  EXPECT_EQ(other.Scalar("select count(*) from Sklep.kasa1.Zmiany where Koniec is null"), "0");
  // With no shift left open the procedure succeeds.
  EXPECT_EQ(OdbcCode([&] { Run("exec ZamknijZmiany", false); }), 0);
}

TEST_F(FreeTdsLibrary, QueryOfAProcedureFailsOnTheErrorAfterItsRowCount) {
  Run("use Sklep", false);
  EMOdbcError e = ErrorOf([&] { Run("exec ZamknijZmiany", true); });
  EXPECT_EQ(e.Code, 416);
  EXPECT_EQ(e.GetNativeError(), 50000);
  EXPECT_FALSE(Query.GetActive());
  // Nothing left to close: an empty, complete result.
  Run("exec ZamknijZmiany", true);
  EXPECT_TRUE(Query.GetEof());
}

TEST_F(FreeTdsLibrary, UpdateLearnsItsParameterTypesWithoutReadingRows) {
  Run("use Sklep", false);
  TMUpdate u;
  u.SetLink(&Link);
  u.SetTypeTable("dbo.Towary");
  u.GetSQL().SetText("update dbo.Towary set Nazwa = :Nazwa where IdTowaru = :IdTowaru");
  for (const char* n : {"Nazwa", "IdTowaru"}) {
    u.ParamByName(n)->SetParamOption(mpoInput);
    u.ParamByName(n)->SetTypeField(n);
  }
  const size_t mark = Sim.TraceMark();
  u.BeginUpdate();
  const auto* ex = static_cast<const TMOdbcSQLUpdate*>(u.GetExecutor());
  ASSERT_EQ(ex->GetMarkerCount(), 2);
  EXPECT_EQ(ex->GetFieldData(0)->GetFieldType(), mftString);
  EXPECT_EQ(ex->GetFieldData(1)->GetFieldType(), mftInteger);
  // The one statement sent asks for no row of the table.
  const auto sent = Sim.TraceSince(mark);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_NE(sent[0].Text.find("where 1=0"), std::string::npos) << sent[0].Text;
  u.EndUpdate();
  // A column that does not exist is refused as before.
  u.ParamByName("Nazwa")->SetTypeField("NieMaTakiej");
  EXPECT_EQ(OdbcCode([&] { u.BeginUpdate(); }), 454);
}

}  // namespace
