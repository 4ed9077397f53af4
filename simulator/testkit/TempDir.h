#pragma once
// A fresh directory under $TMPDIR (or /tmp), removed with everything in it at the end.
#include <string>

namespace msde::testkit {

class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "msde-sim");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace msde::testkit
