#include "platform/CommandLine.h"

namespace vandrel::platform {

namespace {

bool IsSeparator(char C) { return C == ' ' || C == '\t' || C == '\n'; }

// An unclosed quote or a final backslash: the line gives no words.
bool Unfinished(std::vector<std::string>& Words) {
  Words.clear();
  return false;
}

}  // namespace

bool SplitCommandLine(const std::string& CommandLine, std::vector<std::string>& Words) {
  Words.clear();
  std::string Word;
  bool InWord = false;  // a word has begun, even an empty one such as ''
  for (size_t I = 0; I < CommandLine.size(); ++I) {
    const char C = CommandLine[I];
    if (IsSeparator(C)) {
      if (InWord) Words.push_back(Word);
      Word.clear();
      InWord = false;
    } else if (C == '\'') {
      const size_t End = CommandLine.find('\'', I + 1);
      if (End == std::string::npos) return Unfinished(Words);
      Word.append(CommandLine, I + 1, End - I - 1);
      I = End;
      InWord = true;
    } else if (C == '"') {
      size_t J = I + 1;
      for (; J < CommandLine.size() && CommandLine[J] != '"'; ++J) {
        const char N = J + 1 < CommandLine.size() ? CommandLine[J + 1] : '\0';
        if (CommandLine[J] == '\\' && (N == '"' || N == '\\' || N == '$' || N == '`' || N == '\n')) {
          if (N != '\n') Word += N;  // an escaped line break joins the lines
          ++J;
        } else {
          Word += CommandLine[J];
        }
      }
      if (J >= CommandLine.size()) return Unfinished(Words);
      I = J;
      InWord = true;
    } else if (C == '\\') {
      if (++I >= CommandLine.size()) return Unfinished(Words);
      if (CommandLine[I] != '\n') {
        Word += CommandLine[I];
        InWord = true;
      }
    } else {
      Word += C;
      InWord = true;
    }
  }
  if (InWord) Words.push_back(Word);
  return true;
}

std::string QuoteCommandWord(const std::string& Word) {
  std::string Out = "'";
  for (char C : Word) {
    if (C == '\'') {
      Out += "'\\''";
    } else {
      Out += C;
    }
  }
  return Out + "'";
}

}  // namespace vandrel::platform
