#pragma once
// A small server for the administration statements' tests: a data set written to a fresh
// directory (with attachable files beside it), sessions logged in through the engine
// interface, and batches whose answers are collected for inspection.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "Engine.h"
#include "engine/LoadEngine.h"
#include "engine/SqlTime.h"
#include "engine/Statements.h"
#include "testkit/TempDir.h"

namespace msde::admin_test {

// What one batch answered, with the checks these tests make.
struct Answer : engine_test::Answer {
  bool failed() const { return !errors.empty(); }
  bool HasError(int number) const { return Has(errors, number); }
  bool HasInfo(int number) const { return Has(infos, number); }
  std::string Cell(size_t row = 0, size_t column = 0) const { return Text(row, column); }

 private:
  static bool Has(const std::vector<Message>& messages, int number) {
    for (const Message& m : messages)
      if (m.number == number) return true;
    return false;
  }
};

// The data set: the four system databases, a shop with tables of two owners, a damaged
// database, logins sa (sysadmin) and jan; attachable Sklep2.mdf with its log.
inline const char* kDataSet = R"json({
 "server": {"name": "KASA", "product_version": "8.00.2039"},
 "configuration": [
  {"name": "show advanced options", "minimum": 0, "maximum": 1, "config_value": 0},
  {"name": "remote login timeout (s)", "minimum": 0, "maximum": 2147483647, "config_value": 20},
  {"name": "remote query timeout (s)", "minimum": 0, "maximum": 2147483647, "config_value": 600},
  {"name": "network packet size (B)", "minimum": 512, "maximum": 65536, "config_value": 4096,
   "advanced": true},
  {"name": "min server memory (MB)", "minimum": 0, "maximum": 2147483647, "config_value": 0,
   "advanced": true},
  {"name": "max server memory (MB)", "minimum": 4, "maximum": 2147483647,
   "config_value": 2147483647, "advanced": true},
  {"name": "set working set size", "minimum": 0, "maximum": 1, "config_value": 0,
   "advanced": true, "dynamic": false}
 ],
 "logins": [
  {"name": "sa", "password": "", "sysadmin": true},
  {"name": "jan", "password": "tajne", "default_database": "Sklep"}
 ],
 "databases": [
  {"name": "master", "dbid": 1, "users": [{"name": "guest"}]}, {"name": "tempdb", "dbid": 2},
  {"name": "model", "dbid": 3}, {"name": "msdb", "dbid": 4},
  {"name": "Sklep", "dbid": 5,
   "files": [{"fileid": 1, "name": "Sklep_Data", "filename": "C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\Sklep.mdf"},
             {"fileid": 2, "name": "Sklep_Log", "filename": "C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\Sklep_log.ldf"}],
   "users": [{"name": "jan", "login": "jan"}],
   "tables": [
    {"name": "Towary", "id": 1977058079,
     "columns": [{"name": "Nazwa", "type": "varchar", "length": 40}],
     "rows": [["Chleb"], ["Masło"]]},
    {"owner": "jan", "name": "Klienci", "id": 2009058193,
     "columns": [{"name": "Nazwisko", "type": "varchar", "length": 40}],
     "rows": [["Kowalski"]]}]},
  {"name": "Uszkodzona", "dbid": 6,
   "files": [{"fileid": 1, "name": "U_Data", "filename": "C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\Uszkodzona.mdf"}],
   "tables": [
    {"name": "Dokumenty", "id": 2041058307,
     "columns": [{"name": "Numer", "type": "int"}], "rows": [[1], [2]]}],
   "damage": [
    {"object_id": 2041058307, "index_id": 2, "page": 120, "error": 8941,
     "repair": "REPAIR_REBUILD"},
    {"object_id": 2041058307, "index_id": 0, "page": 96, "error": 8928,
     "repair": "REPAIR_ALLOW_DATA_LOSS"}]}
 ]
})json";

inline const char* kSklep2 = R"({
 "name": "Sklep2", "dbid": 9,
 "files": [{"fileid": 1, "name": "Sklep2_Data", "filename": "D:\\Stare\\Sklep2.mdf"},
           {"fileid": 2, "name": "Sklep2_Log", "filename": "D:\\Stare\\Sklep2_log.ldf"}],
 "users": [{"name": "ewa", "login": "ewa"}],
 "tables": [{"owner": "ewa", "name": "Faktury", "id": 1977058079,
             "columns": [{"name": "Numer", "type": "int"}], "rows": [[7]]}]
})";

// The same site on SQL Server 2005 Express.
inline std::string DataSet2005() {
  std::string data = kDataSet;
  const std::string server = R"("server": {"name": "KASA", "product_version": "8.00.2039"})";
  data.replace(data.find(server), server.size(), R"("version": "2005", "server": {"name": "KASA"})");
  return data;
}

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

class AdminTest : public ::testing::Test {
 public:
  AdminTest() {
    WriteText(dir_.Path() + "/data.json", kDataSet);
    WriteText(Files() + "Sklep2.mdf", kSklep2);
    WriteText(Files() + "Sklep2_log.ldf", R"({"log_of": "Sklep2"})");
    engine_ = LoadEngine(dir_.Path() + "/data.json", dir_.Path());
    sa_ = Connect("sa", "");
  }
  ~AdminTest() override {
    for (auto& s : sessions_)
      engine_->Logout(*s);
  }

  std::string Files() const { return dir_.Path() + "/"; }

  // Starts the server again from `data_set` over the same files, logging to `error_log`
  // (none when empty), with sa connected.
  void Restart(const std::string& data_set, const std::string& error_log = "") {
    for (auto& s : sessions_) engine_->Logout(*s);
    sessions_.clear();
    WriteText(Files() + "data.json", data_set);
    EngineSetup setup;
    setup.data_file = Files() + "data.json";
    setup.files_dir = dir_.Path();
    setup.error_log = error_log;
    setup.process_id = 4242;
    engine_ = LoadEngine(setup);
    sa_ = Connect("sa", "");
  }

  std::shared_ptr<Session> Connect(const std::string& user, const std::string& password,
                                   const std::string& program = "Tovinex") {
    LoginRequest request;
    request.user = user;
    request.password = password;
    request.application = program;
    request.host = "KASA1";
    std::vector<Message> errors;
    auto session = engine_->Login(request, errors);
    EXPECT_TRUE(session) << (errors.empty() ? "" : errors.front().text);
    if (session) sessions_.push_back(session);
    return session;
  }

  // Whether the server lets this login in; the session it opens ends at once.
  bool LogsIn(const std::string& user, const std::string& password) {
    LoginRequest request;
    request.user = user;
    request.password = password;
    std::vector<Message> errors;
    auto session = engine_->Login(request, errors);
    if (session) engine_->Logout(*session);
    return session != nullptr;
  }

  Answer Run(Session& session, const std::string& sql) {
    Answer answer;
    engine_test::RecordingSink sink(answer);
    engine_->ExecuteBatch(session, sql, sink);
    return answer;
  }
  Answer Run(const std::string& sql) { return Run(*sa_, sql); }

  testkit::TempDir dir_;
  std::unique_ptr<Engine> engine_;
  std::shared_ptr<Session> sa_;
  std::vector<std::shared_ptr<Session>> sessions_;
};

}  // namespace msde::admin_test
