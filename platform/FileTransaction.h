#pragma once
// Changes to several small configuration files that take effect together or not at all.
//
// Every change of such a file goes through ChangeFileText: under the file's lock it reads the
// file, lets the caller change the text and replaces the file whole (AtomicFile.h). While a
// TFileTransaction is open, the new texts are kept instead and Commit writes them:
//   1. each new text into "<file>.vandrel-new" beside its file, synced;
//   2. the journal, naming those files, replaced atomically: from here the change is made;
//   3. each new file renamed over its file; the journal removed.
// A program killed before step 2 leaves the old files and some temporaries; killed after it,
// the journal. RecoverFiles, run at the next start, finishes a journalled change and removes
// every leftover temporary, so the files hold either all the old or all the new texts.
//
// The journal's lock is held from the start of a transaction to its end, and by RecoverFiles,
// so that a recovery never runs into a change under way; a file's lock is taken at its first
// change and held to the end. Programs that change one file at a time take only its lock.
// A transaction belongs to the thread of the tool's window: one is open at a time.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vandrel::platform {

class TAtomicFile;

// The file's text as the open transaction would leave it (its kept text), else as on disk.
// Failures raise EMRegistryError naming the file and the reason.
std::string ReadFileText(const std::string& FileName, bool* Exists = nullptr);

// Changes the file under its lock: Change gets the current text (empty when the file does not
// exist) and returns whether it changed it. Written at once, or kept for the open
// transaction's commit. What names the file in messages ("magazynu rejestru ...").
void ChangeFileText(const std::string& FileName, const std::string& What,
                    const std::function<bool(std::string& Text)>& Change);

class TFileTransaction {
 public:
  // Opens the transaction (the only one: a second raises EMRegistryError) and takes the
  // journal's lock.
  explicit TFileTransaction(std::string JournalFile);
  // Without Commit nothing is written.
  ~TFileTransaction();
  TFileTransaction(const TFileTransaction&) = delete;
  TFileTransaction& operator=(const TFileTransaction&) = delete;

  static TFileTransaction* Current();

  // Runs Done once the files are written (programs that cache what they read are told).
  void AfterCommit(std::function<void()> Done) { FAfterCommit.push_back(std::move(Done)); }

  // Writes every kept text as above. A failure before the journal leaves every file as it
  // was and raises EMRegistryError naming the file and the reason; a failure after it is
  // finished by the next RecoverFiles.
  void Commit();

 private:
  friend std::string ReadFileText(const std::string&, bool*);
  friend void ChangeFileText(const std::string&, const std::string&, const std::function<bool(std::string&)>&);
  struct TKept {
    std::unique_ptr<TAtomicFile> File;  // holds the lock
    std::string What;
    bool Changed = false;
    std::string Text;
  };
  TKept& Locked(const std::string& FileName, const std::string& What);

  std::unique_ptr<TAtomicFile> FJournal;
  std::map<std::string, TKept> FFiles;
  std::vector<std::string> FOrder;  // files in the order of their first change
  std::vector<std::function<void()>> FAfterCommit;
};

// Finishes a change the journal names and removes the temporaries left beside Files (and
// beside the files the journal names). Files that cannot be locked are left alone.
void RecoverFiles(const std::string& JournalFile, const std::vector<std::string>& Files);

}  // namespace vandrel::platform
