#include "app/query/BatchSplitter.h"

#include <cctype>
#include <charconv>

namespace vandrel::app {
namespace {

bool Blank(char C) { return C == ' ' || C == '\t' || C == '\r' || C == '\f' || C == '\v'; }

std::string_view TrimBlanks(std::string_view Text) {
  while (!Text.empty() && Blank(Text.front())) Text.remove_prefix(1);
  while (!Text.empty() && Blank(Text.back())) Text.remove_suffix(1);
  return Text;
}

// The count of a GO line ("GO", "GO 5", "go -- comment"), or 0 when Line is no GO line.
int GoCount(std::string_view Line) {
  Line = TrimBlanks(Line);
  if (Line.size() < 2 || std::tolower(static_cast<unsigned char>(Line[0])) != 'g' ||
      std::tolower(static_cast<unsigned char>(Line[1])) != 'o')
    return 0;
  Line.remove_prefix(2);
  if (const size_t comment = Line.find("--"); comment != std::string_view::npos) Line = Line.substr(0, comment);
  Line = TrimBlanks(Line);
  if (Line.empty()) return 1;
  int count = 0;
  const auto [end, error] = std::from_chars(Line.data(), Line.data() + Line.size(), count);
  if (error != std::errc() || end != Line.data() + Line.size() || count < 1) return 0;
  return count;
}

// Whether a block comment is open after Line, given whether one was open before it. Strings
// and line comments are skipped so that "/*" inside them opens nothing.
bool CommentOpenAfter(std::string_view Line, bool Open) {
  for (size_t i = 0; i < Line.size(); ++i) {
    if (Open) {
      if (Line.compare(i, 2, "*/") == 0) Open = false, ++i;
    } else if (Line.compare(i, 2, "/*") == 0) {
      Open = true, ++i;
    } else if (Line.compare(i, 2, "--") == 0) {
      break;
    } else if (Line[i] == '\'') {
      const size_t end = Line.find('\'', i + 1);
      if (end == std::string_view::npos) break;
      i = end;
    }
  }
  return Open;
}

bool OnlyBlanks(std::string_view Text) {
  for (char c : Text)
    if (!Blank(c) && c != '\n') return false;
  return true;
}

}  // namespace

std::vector<TBatch> SplitBatches(std::string_view Script) {
  std::vector<TBatch> batches;
  TBatch current;
  bool started = false;  // the current batch has a line, blank or not
  bool comment = false;
  int line = 0;
  auto finish = [&](int Repeat, int NextLine) {
    if (!OnlyBlanks(current.Text)) {
      current.Repeat = Repeat;
      batches.push_back(std::move(current));
    }
    current = TBatch{};
    current.FirstLine = NextLine;
    started = false;
  };
  size_t at = 0;
  while (at <= Script.size()) {
    size_t end = Script.find('\n', at);
    if (end == std::string_view::npos) end = Script.size();
    const std::string_view text = Script.substr(at, end - at);
    const int count = comment ? 0 : GoCount(text);
    if (count > 0) {
      finish(count, line + 1);
    } else {
      if (started) current.Text += '\n';
      current.Text.append(text);
      started = true;
      comment = CommentOpenAfter(text, comment);
    }
    ++line;
    at = end + 1;
  }
  finish(1, line);
  return batches;
}

}  // namespace vandrel::app
