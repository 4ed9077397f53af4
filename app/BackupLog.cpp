#include "app/BackupLog.h"

#include <ctime>
#include <sstream>
#include <vector>

namespace vandrel::app {

constexpr size_t kTimeWidth = 19;  // "YYYY-MM-DD hh:mm:ss"

std::string LogTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

TLoggedStream::~TLoggedStream() {
  if (!FLine.empty()) overflow('\n');
}

int TLoggedStream::overflow(int Char) {
  if (Char == traits_type::eof()) return 0;
  FOut.put(static_cast<char>(Char));
  if (Char != '\n') {
    FLine += static_cast<char>(Char);
    return Char;
  }
  if (FLog != nullptr) *FLog << LogTime() << " " << FLine << std::endl;
  FLine.clear();
  return Char;
}

int TLoggedStream::sync() {
  FOut.flush();
  return 0;
}

TLastRun LastRunOf(const std::string& LogText) {
  std::istringstream in(LogText);
  std::vector<std::string> lines;  // of the run still open
  TLastRun last;
  const std::string exitLine = kExitLine;
  for (std::string line; std::getline(in, line);) {
    if (line.size() <= kTimeWidth) continue;
    const std::string text = line.substr(kTimeWidth + 1);
    if (text.rfind(exitLine, 0) != 0) {
      lines.push_back(text);
      continue;
    }
    last.Finished = line.substr(0, kTimeWidth);
    last.Status = std::atoi(text.c_str() + exitLine.size());
    last.Lines.clear();
    for (const std::string& l : lines) last.Lines += l + "\n";
    lines.clear();
  }
  return last;
}

std::string ExitStatusText(int Status) {
  switch (Status) {
    case 0: return "wszystko zrobione";
    case 1: return "część baz się nie udała, pozostałe skopiowano";
    case 2: return "błąd wywołania, hasła lub połączenia: nic nie skopiowano";
    case 3: return "brak sterownika ODBC: nic nie skopiowano";
  }
  return "nieznany kod";
}

}  // namespace vandrel::app
