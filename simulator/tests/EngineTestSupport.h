#pragma once
// Drives the engine directly: the demo data set loaded in memory, sessions logged in through
// the engine interface, and every batch's answer recorded in order.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Engine.h"
#include "engine/LoadEngine.h"
#include "engine/Statements.h"
#include "engine/Values.h"

namespace msde::engine_test {

struct Answer {
  std::vector<ResultSet> results;
  std::vector<Message> infos, errors;
  std::vector<std::pair<int64_t, bool>> dones;  // row count, error
  std::vector<std::pair<std::string, std::string>> database_changes;

  const ResultSet& Result(size_t i = 0) const {
    static const ResultSet none;
    return i < results.size() ? results[i] : none;
  }
  std::string Text(size_t row, size_t column, size_t result = 0) const {
    const ResultSet& r = Result(result);
    if (row >= r.rows.size() || column >= r.rows[row].size()) return "<none>";
    return ValueText(r.rows[row][column]);
  }
  bool IsNullAt(size_t row, size_t column, size_t result = 0) const {
    return IsNull(Result(result).rows.at(row).at(column));
  }
  std::vector<std::string> ColumnNames(size_t result = 0) const {
    std::vector<std::string> names;
    for (const ColumnInfo& c : Result(result).columns) names.push_back(c.name);
    return names;
  }
  int ErrorNumber() const { return errors.empty() ? 0 : errors.front().number; }
  std::string ErrorText() const { return errors.empty() ? "" : errors.front().text; }
};

class RecordingSink : public BatchSink {
 public:
  explicit RecordingSink(Answer& answer) : answer_(answer) {}
  void Columns(const std::vector<ColumnInfo>& columns) override { answer_.results.push_back({columns, {}}); }
  void RowData(const Row& row) override { answer_.results.back().rows.push_back(row); }
  void Info(const Message& m) override { answer_.infos.push_back(m); }
  void Error(const Message& m) override { answer_.errors.push_back(m); }
  void Done(int64_t count, bool error) override { answer_.dones.emplace_back(count, error); }
  void DatabaseChanged(const std::string& from, const std::string& to) override {
    answer_.database_changes.emplace_back(from, to);
  }

 private:
  Answer& answer_;
};

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine_ = LoadEngine(std::string(MSDE_DATA_DIR) + "/demo.json", std::string(MSDE_DATA_DIR) + "/files");
    sa_ = Connect("sa", "");
  }
  void TearDown() override {
    for (auto& s : sessions_) engine_->Logout(*s);
  }

  std::shared_ptr<Session> Connect(const std::string& user, const std::string& password,
                                   const std::string& database = "", const std::string& program = "Vandrel") {
    LoginRequest request;
    request.user = user;
    request.password = password;
    request.database = database;
    request.application = program;
    request.host = "KASA1";
    std::vector<Message> errors;
    auto session = engine_->Login(request, errors);
    last_login_errors_ = errors;
    if (session) sessions_.push_back(session);
    return session;
  }

  Answer Run(Session& session, const std::string& sql) {
    Answer answer;
    RecordingSink sink(answer);
    engine_->ExecuteBatch(session, sql, sink);
    return answer;
  }
  Answer Run(const std::string& sql) { return Run(*sa_, sql); }
  // "use D" and then the statement, as the tool's query steps send them.
  Answer RunIn(const std::string& database, const std::string& sql) {
    Run("use " + database);
    return Run(sql);
  }

  std::unique_ptr<Engine> engine_;
  std::shared_ptr<Session> sa_;
  std::vector<std::shared_ptr<Session>> sessions_;
  std::vector<Message> last_login_errors_;
};

}  // namespace msde::engine_test
