#pragma once
// A file chooser over the server's disk, read through the server itself: xp_dirtree lists a
// directory (its subdirectories and files), xp_fileexist tells whether a file is there. Same
// title and filter as the local chooser it stands in for.
#include <QDialog>
#include <QHash>
#include <QStringList>
#include <optional>

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

#include "app/CommandContext.h"

namespace vandrel::app::admin {

class TServerFileDlg : public QDialog {
  Q_OBJECT
 public:
  // Filter as the local chooser takes it: "caption|pattern|caption|pattern".
  TServerFileDlg(TCommandContext& Context, const QString& Title, const QString& Filter);

  QLineEdit* DirectoryEdit;
  QListWidget* FileList;  // subdirectories (ending in "\") first, then the files the filter lets through
  // A date to show beside a file, by its full path in lower case (for backups, when the newest
  // one in the file was made).
  QHash<QString, QString> FileDates;
  QLineEdit* FileNameEdit;
  QComboBox* FilterBox;
  QPushButton* UpBtn;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

  // Lists Directory as the server sees it.
  void OpenDirectory(const QString& Directory);
  QString Directory() const { return FDirectory; }
  // The names listed (a directory with its closing "\"), without their dates.
  QStringList Entries() const;
  // What a double click on an entry does: a directory is opened, a file chosen.
  void Choose(const QString& Entry);
  void Up();
  // "Otwórz": the typed or picked name, opened when it is a directory, else chosen.
  void OKBtnClick();
  QString FileName() const { return FFileName; }

 private:
  void Refill();
  QString Join(const QString& Name) const;

  TCommandContext& FContext;
  QString FDirectory;
  QString FFileName;
  QStringList FPatterns;
  QStringList FDirectories, FFiles;
};

// xp_fileexist's first column for Path: a file (not a directory) is there.
bool ServerFileExists(TCommandContext& Context, const QString& Path);
// The same asked quietly: empty when the server would not say (no right to xp_fileexist).
std::optional<bool> ServerHasFile(TCommandContext& Context, const QString& Path);
// Whether the server sees the directory of Path (a file chosen on this machine may lie where
// the server cannot reach it); nullopt when the server could not be asked.
std::optional<bool> ServerSeesDirectoryOf(TCommandContext& Context, const QString& Path);

}  // namespace vandrel::app::admin
