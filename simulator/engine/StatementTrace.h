#pragma once
// The server's statement trace: one line per statement it executes, appended to a file and
// flushed before the statement's response goes out, so that whoever reads the file after a
// call returns sees every statement of that call. A line is
//   spid TAB application TAB database TAB text
// with "\", TAB, CR and LF in the fields written as \\, \t, \r and \n. A statement's text runs
// from its first word to its last; the last statement of a batch keeps what follows it up to
// the batch's closing line breaks (so a trailing blank shows). As SQL Server's own
// trace does, the text of a statement naming sp_addlogin or sp_password (which carry
// passwords) is replaced by a note.
#include <cstdio>
#include <mutex>
#include <string>

namespace msde {

class StatementTrace {
 public:
  // Opens File for appending; throws std::runtime_error when it cannot.
  explicit StatementTrace(const std::string& File);
  ~StatementTrace();
  StatementTrace(const StatementTrace&) = delete;
  StatementTrace& operator=(const StatementTrace&) = delete;

  void Write(int Spid, const std::string& Application, const std::string& Database,
             const std::string& Text);

 private:
  std::FILE* file_ = nullptr;
  std::mutex mutex_;
};

// A field as the trace writes it (the escapes above).
std::string TraceEscape(const std::string& Field);
// The text the trace shows for a statement: the statement itself, or the note that replaces
// a statement carrying a password.
std::string TraceText(const std::string& Statement);

}  // namespace msde
