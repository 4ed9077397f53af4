#include "engine/StatementTrace.h"

#include <cctype>
#include <stdexcept>
#include <utility>

namespace msde {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string TraceEscape(const std::string& Field) {
  std::string out;
  out.reserve(Field.size());
  for (char c : Field) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default: out += c;
    }
  }
  return out;
}

std::string TraceText(const std::string& Statement) {
  // Anywhere in the text, as SQL Server looks: a comment or a bracketed name counts too.
  // Runs of blanks read as one, so that no spacing hides CREATE LOGIN.
  std::string lower;
  for (char c : Lower(Statement)) {
    const bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n';
    if (!blank || lower.empty() || lower.back() != ' ') lower += blank ? ' ' : c;
  }
  size_t first = std::string::npos;
  const char* found = nullptr;
  const std::pair<const char*, const char*> kSecret[] = {
      {"sp_addlogin", "sp_addlogin"}, {"sp_password", "sp_password"},
      {"create login", "CREATE LOGIN"}, {"alter login", "ALTER LOGIN"}};
  for (const auto& [text, name] : kSecret) {
    const size_t at = lower.find(text);
    if (at < first) {
      first = at;
      found = name;
    }
  }
  if (found == nullptr) return Statement;
  return std::string("-- '") + found +
         "' was found in the text of this event. The text has been replaced with this "
         "comment for security reasons.";
}

StatementTrace::StatementTrace(const std::string& File) {
  file_ = std::fopen(File.c_str(), "ae");
  if (file_ == nullptr) throw std::runtime_error("cannot open the trace file " + File);
}

StatementTrace::~StatementTrace() {
  if (file_ != nullptr) std::fclose(file_);
}

void StatementTrace::Write(int Spid, const std::string& Application, const std::string& Database,
                           const std::string& Text) {
  const std::string line = std::to_string(Spid) + '\t' + TraceEscape(Application) + '\t' +
                           TraceEscape(Database) + '\t' + TraceEscape(TraceText(Text)) + '\n';
  std::lock_guard<std::mutex> guard(mutex_);
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fflush(file_);
}

}  // namespace msde
