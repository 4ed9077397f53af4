#pragma once
// A TDS server on a free loopback port with the stub engine behind it, and a private ODBC
// configuration reaching it: the fixture of the protocol tests.
#include <gtest/gtest.h>

#include <memory>

#include "TdsStubEngine.h"
#include "tds/TdsServer.h"
#include "testkit/OdbcClient.h"
#include "testkit/OdbcConfig.h"

namespace msde::testing {

class TdsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<tds::TdsServer>(engine_, Options());
    port_ = server_->Start(0);
    config_ = std::make_unique<testkit::OdbcConfig>(port_);
  }
  void TearDown() override {
    server_->Stop();
    config_.reset();
  }
  virtual tds::ServerOptions Options() const { return {}; }

  std::string ConnectionString(const std::string& extra = "") const {
    return config_->Utf8ConnectionString(StubEngine::kUser, StubEngine::kPassword) + extra;
  }
  std::unique_ptr<testkit::OdbcClient> Connect(const std::string& extra = "") const {
    return std::make_unique<testkit::OdbcClient>(ConnectionString(extra));
  }

  StubEngine engine_;
  std::unique_ptr<tds::TdsServer> server_;
  int port_ = 0;
  std::unique_ptr<testkit::OdbcConfig> config_;
};

}  // namespace msde::testing
