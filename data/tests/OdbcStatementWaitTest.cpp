// Waiting for the server on a worker thread: the link hands every call that waits to its
// OnStatementWait, a statement waiting on the worker is cancelled from the owner's thread,
// informational records are reported as each call returns, and the link serves the next
// statement afterwards. The scriptable driver's "wait" blocks until SQLCancel, so these
// tests are what the ThreadSanitizer pass runs.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sched.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "OdbcTestEnv.h"
#include "data/OdbcError.h"
#include "data/Query.h"
#include "data/StatementWorker.h"

namespace vandrel {
namespace {

// The owner's side of a wait, as the window does it: the call goes to the worker, the
// owner keeps working (here: counts its turns) and cancels once the driver really waits.
class StatementWait : public test::OdbcTest {
 protected:
  void SetUp() override {
    test::OdbcTest::SetUp();
    Link = Connect(test::kFakeDsn);
    Link->OnStatementWait = [this](TMOdbcLink* Sender, const TMOdbcLink::TStatementCall& Call) {
      ++Waits;
      Worker.Start(Call);
      while (!Worker.WaitFor(std::chrono::milliseconds(1))) {
        ++OwnerTurns;
        if (DriverWaits())
          for (int k = 0; k < CancelsATurn; ++k) Sender->Cancel();
      }
      return Worker.Take();
    };
  }

  // Whether a call waits inside the test driver: as the window's "Przerwij" comes only after
  // a while, the owner cancels a call that is in the driver, not one still in unixODBC's own
  // code, which SQLCancel is not locked against.
  static bool DriverWaits() {
    static const auto Waiting = reinterpret_cast<long (*)()>(
        dlsym(dlopen(VANDREL_FAKE_ODBC_DRIVER, RTLD_NOW | RTLD_NOLOAD), "VandrelFakeWaitingCalls"));
    return Waiting != nullptr && Waiting() > 0;
  }

  // The driver's own records of a failure.
  static std::string States(const EMException& E) {
    std::string all;
    for (int i = 0; i < E.GetTopicCount(); ++i) all += E.GetTopics(i)->GetDescription() + "|";
    return all;
  }

  TMStatementWorker Worker;
  std::unique_ptr<TMOdbcLink> Link;
  int Waits = 0;
  int OwnerTurns = 0;
  int CancelsATurn = 0;
};

TEST_F(StatementWait, AStatementWaitingOnTheWorkerIsCancelledAndTheLinkGoesOn) {
  CancelsATurn = 1;
  try {
    Link->ExecSQL("wait 0", nullptr);
    FAIL() << "a cancelled statement succeeded";
  } catch (const EMOdbcError& e) {
    EXPECT_NE(States(e).find("Operation canceled"), std::string::npos) << States(e);
  }
  EXPECT_GT(OwnerTurns, 0);
  EXPECT_FALSE(Link->Cancel()) << "nothing waits any more";

  // The same for a query, and then both kinds still work.
  TKMQuery query;
  query.SetLink(Link.get());
  query.GetSQL().SetText("wait 0");
  EXPECT_THROW(query.Open(), EMOdbcError);
  CancelsATurn = 0;
  Link->ExecSQL("wait 20", nullptr);
  query.GetSQL().SetText("rows 3");
  query.Open();
  int rows = 0;
  for (; !query.GetEof(); query.Next()) ++rows;
  EXPECT_EQ(rows, 3);
}

// "Przerwij" pressed again and again: the driver is asked once, since a second request can
// meet the cancelled call on its way out of the driver manager (which then frees a record twice).
TEST_F(StatementWait, AWaitIsCancelledOnceHoweverOftenItIsAsked) {
  CancelsATurn = 3;
  EXPECT_THROW(Link->ExecSQL("wait 0", nullptr), EMOdbcError);
  CancelsATurn = 0;
  TKMQuery query;
  query.SetLink(Link.get());
  query.GetSQL().SetText("cancels");
  query.Open();
  EXPECT_EQ(query.GetCount(), 0) << "requests that reached a cancelled call";
}

TEST_F(StatementWait, EachResultsMessagesAreReportedWhenItsCallReturns) {
  // "info 1; wait 30; info 2": the first record is known before the wait of the second
  // result starts, the last two after it.
  std::vector<std::string> events;
  Link->OnStatementWait = [&](TMOdbcLink*, const TMOdbcLink::TStatementCall& Call) {
    events.push_back("wait");
    Worker.Start(Call);
    return Worker.Take();
  };
  Link->OnStatementInfo = [&](TMOdbcLink*, const AnsiString& Message) {
    events.push_back(Message.substr(0, Message.find(']') + 1));
  };
  Link->ExecSQL("info 1; wait 30; info 2", nullptr);
  const std::vector<std::string> expected{"wait", "[01000/1001]", "wait", "wait", "[01000/1001]", "[01000/1002]", "wait"};
  EXPECT_EQ(events, expected);
}

TEST_F(StatementWait, CancelWithNothingWaitingIsRefusedAndNoCallIsMadeTwice) {
  EXPECT_FALSE(Link->Cancel());
  Link->ExecSQL("info 1; info 1", nullptr);
  EXPECT_EQ(Waits, 3) << "the execution and two moves (the last finds no more results)";
}

TEST(StatementWorker, HandsBackResultsAndFailuresAndRefusesASecondCall) {
  TMStatementWorker worker;
  std::atomic<bool> ended{false};
  std::atomic<bool> release{false};
  worker.Start(
      [&] {
        while (!release) std::this_thread::yield();
        return SQLRETURN{SQL_SUCCESS_WITH_INFO};
      },
      [&] { ended = true; });
  EXPECT_FALSE(worker.Ended());
  EXPECT_THROW(worker.Start([] { return SQLRETURN{SQL_SUCCESS}; }), std::logic_error);
  release = true;
  EXPECT_EQ(worker.Take(), SQL_SUCCESS_WITH_INFO);
  // The news may come a moment after the result was taken, but it comes.
  while (!ended) std::this_thread::yield();

  worker.Start([]() -> SQLRETURN { throw std::runtime_error("driver gone"); });
  EXPECT_THROW(worker.Take(), std::runtime_error);
  worker.Start([] { return SQLRETURN{SQL_NO_DATA}; });
  EXPECT_EQ(worker.Take(), SQL_NO_DATA);
}

TEST(StatementWorker, EndsOnlyAfterTheCallItRuns) {
  std::atomic<bool> finished{false};
  {
    TMStatementWorker worker;
    worker.Start([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      finished = true;
      return SQLRETURN{SQL_SUCCESS};
    });
  }
  EXPECT_TRUE(finished);
}

// Wherever the owner runs when it starts a call, the call runs there too.
TEST(StatementWorker, RunsEachCallOnTheProcessorItsOwnerRanOn) {
  cpu_set_t allowed;
  ASSERT_EQ(sched_getaffinity(0, sizeof allowed, &allowed), 0);
  TMStatementWorker worker;
  for (int turn = 0; turn < 2; ++turn)
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
      if (!CPU_ISSET(cpu, &allowed)) continue;
      cpu_set_t one;
      CPU_ZERO(&one);
      CPU_SET(cpu, &one);
      ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
      worker.Start([] { return static_cast<SQLRETURN>(sched_getcpu()); });
      EXPECT_EQ(worker.Take(), cpu);
    }
  sched_setaffinity(0, sizeof allowed, &allowed);
}

}  // namespace
}  // namespace vandrel
