#include "platform/FileTransaction.h"

#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "foundation/MacError.h"
#include "platform/AtomicFile.h"

namespace vandrel::platform {

namespace {

TFileTransaction* GCurrent = nullptr;

const char* const kNewSuffix = "new";

std::string Fail(const std::string& What, const std::string& File, int Code) {
  return What + " " + File + ": " + std::strerror(Code);
}

std::string NewTextFile(const TAtomicFile& File) { return File.TempPrefix() + kNewSuffix; }

std::vector<std::string> JournalFiles(const std::string& Text) {
  std::vector<std::string> Files;
  size_t Start = 0;
  while (Start < Text.size()) {
    size_t End = Text.find('\n', Start);
    if (End == std::string::npos) End = Text.size();
    if (End > Start) Files.push_back(Text.substr(Start, End - Start));
    Start = End + 1;
  }
  return Files;
}

void LockOrThrow(TAtomicFile& File, const std::string& What) {
  if (const int Code = File.Lock()) throw EMRegistryError(Fail("Nie można zablokować " + What, File.LockName(), Code));
}

}  // namespace

std::string ReadFileText(const std::string& FileName, bool* Exists) {
  if (GCurrent) {
    const auto Kept = GCurrent->FFiles.find(FileName);
    if (Kept != GCurrent->FFiles.end() && Kept->second.Changed) {
      if (Exists) *Exists = true;
      return Kept->second.Text;
    }
  }
  std::string Text;
  bool Found = false;
  if (const int Code = TAtomicFile(FileName).Read(Text, Found)) {
    throw EMRegistryError(Fail("Nie można odczytać pliku", FileName, Code));
  }
  if (Exists) *Exists = Found;
  return Text;
}

void ChangeFileText(const std::string& FileName, const std::string& What,
                    const std::function<bool(std::string& Text)>& Change) {
  if (GCurrent) {
    TFileTransaction::TKept& Kept = GCurrent->Locked(FileName, What);
    std::string Text = ReadFileText(FileName);
    if (!Change(Text)) return;
    Kept.Text = std::move(Text);
    Kept.Changed = true;
    return;
  }
  TAtomicFile File(FileName);
  LockOrThrow(File, What);
  std::string Text = ReadFileText(FileName);
  if (!Change(Text)) return;
  if (const int Code = File.Replace(Text)) throw EMRegistryError(Fail("Nie można zapisać " + What, FileName, Code));
}

TFileTransaction::TFileTransaction(std::string JournalFile)
    : FJournal(std::make_unique<TAtomicFile>(std::move(JournalFile))) {
  if (GCurrent) throw EMRegistryError("Zmiana plików konfiguracji jest już w toku");
  LockOrThrow(*FJournal, "dziennika zmian konfiguracji");
  GCurrent = this;
}

TFileTransaction::~TFileTransaction() {
  if (GCurrent == this) GCurrent = nullptr;
}

TFileTransaction* TFileTransaction::Current() { return GCurrent; }

TFileTransaction::TKept& TFileTransaction::Locked(const std::string& FileName, const std::string& What) {
  auto [It, Added] = FFiles.try_emplace(FileName);
  if (Added) {
    It->second.File = std::make_unique<TAtomicFile>(FileName);
    It->second.What = What;
    try {
      LockOrThrow(*It->second.File, What);
    } catch (...) {
      FFiles.erase(It);
      throw;
    }
    FOrder.push_back(FileName);
  }
  return It->second;
}

void TFileTransaction::Commit() {
  if (GCurrent != this) throw EMRegistryError("Zmiana plików konfiguracji została już zakończona");
  GCurrent = nullptr;  // whatever happens below, the transaction keeps nothing more
  std::vector<const TKept*> Changed;
  for (const auto& Name : FOrder) {
    if (FFiles[Name].Changed) Changed.push_back(&FFiles[Name]);
  }
  if (Changed.empty()) return;

  std::string Journal;
  for (size_t I = 0; I < Changed.size(); ++I) {
    const TAtomicFile& File = *Changed[I]->File;
    if (const int Code = File.WriteTemp(NewTextFile(File), Changed[I]->Text)) {
      for (size_t J = 0; J < I; ++J) unlink(NewTextFile(*Changed[J]->File).c_str());
      throw EMRegistryError(Fail("Nie można zapisać " + Changed[I]->What, File.FileName(), Code));
    }
    Journal += File.FileName() + "\n";
  }
  if (const int Code = FJournal->Replace(Journal)) {
    for (const TKept* Kept : Changed) unlink(NewTextFile(*Kept->File).c_str());
    throw EMRegistryError(Fail("Nie można zapisać dziennika zmian konfiguracji", FJournal->FileName(), Code));
  }
  for (const TKept* Kept : Changed) {
    if (rename(NewTextFile(*Kept->File).c_str(), Kept->File->FileName().c_str()) != 0) {
      throw EMRegistryError(Fail("Nie można zastąpić " + Kept->What, Kept->File->FileName(), errno) +
                            ". Zmiana zostanie dokończona przy następnym uruchomieniu.");
    }
    Kept->File->SyncDirectory();
  }
  unlink(FJournal->FileName().c_str());
  for (const auto& Done : FAfterCommit) Done();
}

void RecoverFiles(const std::string& JournalFile, const std::vector<std::string>& Files) {
  TAtomicFile Journal(JournalFile);
  if (Journal.Lock() != 0) return;
  std::string Text;
  bool Exists = false;
  Journal.Read(Text, Exists);
  std::vector<std::string> All = Files;
  bool Finished = true;
  for (const auto& Name : JournalFiles(Text)) {
    All.push_back(Name);
    TAtomicFile File(Name);
    if (File.Lock() != 0) {
      Finished = false;
      continue;
    }
    if (access(NewTextFile(File).c_str(), F_OK) == 0 && rename(NewTextFile(File).c_str(), Name.c_str()) != 0) {
      Finished = false;
    }
  }
  if (Exists && Finished) unlink(JournalFile.c_str());
  Journal.RemoveTemporaries();
  if (!Finished) return;  // the temporaries still to be renamed stay for the next start
  for (const auto& Name : All) {
    TAtomicFile File(Name);
    if (File.Lock() == 0) File.RemoveTemporaries();
  }
}

}  // namespace vandrel::platform
