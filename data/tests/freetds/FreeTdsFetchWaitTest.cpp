// A fetch that waits for the server's rows goes through the link's OnStatementWait, like the
// execution of a statement: the owner's thread keeps its turns while the rows are late.
// The server's answer is held in a relay after its first packet, so the fetch that needs
// the next rows waits until the owner's side lets them through.
#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <mutex>
#include <thread>

#include "data/OdbcLink.h"
#include "data/Query.h"
#include "data/StatementWorker.h"
#include "testkit/SimServer.h"
#include "testkit/TempDir.h"
#include "testkit/TestProxy.h"

using namespace vandrel;

namespace {

constexpr int kRows = 2000;

msde::testkit::SimServerOptions GeneratedRows(const msde::testkit::TempDir& Dir) {
  const std::string path = Dir.Path() + "/data.json";
  std::ofstream(path) << R"({"server":{"name":"WIERSZE"},"logins":[{"name":"sa","password":"","sysadmin":true}],)"
                         R"("databases":[{"name":"master","dbid":1,"users":[{"name":"guest","login":""}]},)"
                         R"({"name":"Duza","dbid":5,"tables":[{"owner":"dbo","name":"Wiersze","generate":)"
                      << kRows << R"(,"columns":[{"name":"Nr","type":"int"},)"
                         R"({"name":"Opis","type":"varchar","length":20}]}]}]})";
  msde::testkit::SimServerOptions options;
  options.data_file = path;
  return options;
}

TEST(FreeTdsFetchWait, AFetchWaitingForLateRowsGoesThroughTheWaitingHook) {
  msde::testkit::TempDir dir("vandrel-fetch-wait");
  msde::testkit::SimServer sim(GeneratedRows(dir));
  msde::testkit::TestProxy proxy(sim.Port());

  TMOdbcLink link;
  link.SetQueryTimeout(0);
  link.OnGetConnectString = [&](TMOdbcLink*, AnsiString& S, const AnsiString, const AnsiString, const AnsiString,
                                TMOdbcConnectOption& Option, HWND&) {
    S = "DRIVER={SQL Server};SERVER=127.0.0.1," + std::to_string(proxy.Port()) +
        ";UID=sa;PWD=;ClientCharset=UTF-8;DATABASE=Duza;";
    Option = mcoNoPrompt;
  };
  link.SetConnected(true);

  // The owner's side of a wait, as the window does it: the call runs on the worker while
  // the owner takes turns; once the query is open, a turn that finds the answer held lets
  // the rows through.
  TMStatementWorker worker;
  bool open = false;
  int releasedInWait = 0;
  link.OnStatementWait = [&](TMOdbcLink*, const TMOdbcLink::TStatementCall& Call) {
    worker.Start(Call);
    while (!worker.WaitFor(std::chrono::milliseconds(1)))
      if (open && proxy.Holding()) {
        ++releasedInWait;
        proxy.Release();
      }
    return worker.Take();
  };
  // Should a fetch wait outside the hook, the held rows are let through after a while so
  // that the test fails instead of hanging.
  std::mutex lock;
  std::condition_variable finished;
  bool done = false;
  std::thread watchdog([&] {
    std::unique_lock guard(lock);
    if (!finished.wait_for(guard, std::chrono::seconds(30), [&] { return done; })) proxy.Release();
  });

  TKMQuery query;
  query.SetLink(&link);
  query.SetForwardOnly(true);
  query.GetSQL().SetText("select Nr, Opis from dbo.Wiersze order by Nr");
  proxy.HoldAnswerAt("from dbo.Wiersze");
  int rows = 0, lastNr = 0;
  try {
    query.Open();
    open = true;
    for (; !query.GetEof(); query.Next(), ++rows) lastNr = query.FieldByName("Nr")->GetAsInteger();
  } catch (...) {
    ADD_FAILURE() << "the read failed";
  }
  {
    std::lock_guard guard(lock);
    done = true;
  }
  finished.notify_all();
  watchdog.join();

  EXPECT_EQ(releasedInWait, 1);
  EXPECT_EQ(rows, kRows);
  EXPECT_EQ(lastNr, kRows);
}

}  // namespace
