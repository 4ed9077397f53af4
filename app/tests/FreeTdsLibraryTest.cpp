// The data-access library against SQL Server behaviour, through FreeTDS and msde-sim.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "data/OdbcError.h"
#include "foundation/Utf8.h"
#include "data/OdbcLink.h"
#include "data/Query.h"
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

  msde::testkit::SimServer Sim;
  TMOdbcLink Link;
  TKMQuery Query;
};

TEST_F(FreeTdsLibrary, UniqueIdentifierColumnIsRefusedAtOpen) {
  Run("use Sklep", false);
  EXPECT_EQ(OdbcCode([&] { Run("select * from dbo.Stanowiska", true); }), 413);
  EXPECT_FALSE(Query.GetActive());
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

}  // namespace
