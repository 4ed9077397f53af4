#include "app/admin/RestoreDlg.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QTreeWidget>

#include "app/DialogSeam.h"
#include "app/admin/BackupFileRow.h"
#include "app/admin/DatabaseFiles.h"
#include "app/admin/ServerFileDlg.h"

namespace vandrel::app::admin {

const QString TRestoreDlg::kTitle = QStringLiteral("Wybierz plik kopii zapasowej (*.bak)");

namespace {

// Each column as wide as its caption and its texts, so that paths and dates read whole.
void FitColumns(QTreeWidget* List) {
  for (int c = 0; c < List->columnCount(); ++c) List->resizeColumnToContents(c);
}

QTreeWidget* AddList(QWidget* Parent, const char* Name, const QStringList& Captions, int Top, int Height) {
  auto* list = new QTreeWidget(Parent);
  list->setObjectName(Name);
  list->setRootIsDecorated(false);
  list->setHeaderLabels(Captions);
  list->setGeometry(16, Top, 528, Height);
  list->header()->setStretchLastSection(false);
  FitColumns(list);
  return list;
}

}  // namespace

TRestoreDlg::TRestoreDlg(TCommandContext& Context) : QDialog(Context.DialogParent()), FContext(Context) {
  setObjectName("RestoreDlg");
  setWindowTitle(QStringLiteral("Odtwarzanie bazy z kopii zapasowej"));
  setFixedSize(560, 470);

  const TBackupFileRow Row = AddBackupFileRow(this, 410, 432);
  FileEdit = Row.Edit;
  BrowseBtn = Row.Browse;
  ReadBtn = new QPushButton(QStringLiteral("Wczytaj"), this);
  ReadBtn->setObjectName("ReadBtn");
  ReadBtn->setGeometry(464, 31, 80, 25);

  auto* setsLabel = new QLabel(QStringLiteral("Kopie zapisane w pliku:"), this);
  setsLabel->setGeometry(16, 64, 300, 18);
  SetList = AddList(this, "SetList",
                    {QStringLiteral("Nazwa"), QStringLiteral("Data"), QStringLiteral("Baza"), QStringLiteral("Rozmiar")},
                    84, 120);
  auto* filesLabel = new QLabel(QStringLiteral("Pliki bazy w wybranej kopii:"), this);
  filesLabel->setGeometry(16, 212, 300, 18);
  FileList = AddList(this, "FileList",
                     {QStringLiteral("Plik logiczny"), QStringLiteral("Plik na dysku serwera"), QStringLiteral("Rodzaj")},
                     232, 90);

  OverRadio = new QRadioButton(QStringLiteral("Odtwórz w miejsce bazy, z której pochodzi kopia"), this);
  OverRadio->setObjectName("OverRadio");
  OverRadio->setGeometry(16, 332, 520, 21);
  OverRadio->setChecked(true);
  NewRadio = new QRadioButton(QStringLiteral("Odtwórz jako nową bazę o nazwie:"), this);
  NewRadio->setObjectName("NewRadio");
  NewRadio->setGeometry(16, 358, 260, 21);
  NameEdit = new QLineEdit(this);
  NameEdit->setObjectName("NameEdit");
  NameEdit->setMaxLength(128);  // the longest database name
  NameEdit->setGeometry(280, 357, 264, 23);

  VerifyBtn = new QPushButton(QStringLiteral("Sprawdź kopię"), this);
  VerifyBtn->setObjectName("VerifyBtn");
  VerifyBtn->setGeometry(16, 424, 110, 25);
  OKBtn = new QPushButton(QStringLiteral("Odtwórz"), this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setDefault(true);
  OKBtn->setGeometry(368, 424, 84, 25);
  CancelBtn = new QPushButton(QStringLiteral("Anuluj"), this);
  CancelBtn->setObjectName("CancelBtn");
  CancelBtn->setGeometry(460, 424, 84, 25);

  connect(BrowseBtn, &QToolButton::clicked, this, [this] { BrowseBtnClick(); });
  connect(ReadBtn, &QPushButton::clicked, this, [this] { LoadFile(); });
  connect(SetList, &QTreeWidget::currentItemChanged, this, [this] { ShowFiles(); });
  connect(NewRadio, &QRadioButton::toggled, this, [this] { UpdateButtons(); });
  connect(VerifyBtn, &QPushButton::clicked, this, [this] { VerifyBtnClick(); });
  connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  UpdateButtons();
}

void TRestoreDlg::LoadFile(const QString& File) {
  if (!File.isEmpty()) FileEdit->setText(File);
  FFile = FileEdit->text().trimmed().toStdString();
  SetList->clear();
  FileList->clear();
  FSets.clear();
  if (!FFile.empty() && !ListBackupSets(FContext, FFile, FSets)) FSets.clear();
  for (const TBackupSet& s : FSets)
    SetList->addTopLevelItem(new QTreeWidgetItem(
        {QString::fromStdString(s.Name), QString::fromStdString(s.Finished), QString::fromStdString(s.Database),
         MegabytesOfBytes(s.Size)}));
  // The newest backup of a file is the one a restore usually wants.
  FitColumns(SetList);
  if (!FSets.empty()) ChooseSet(static_cast<int>(FSets.size()) - 1);
  UpdateButtons();
}

void TRestoreDlg::BrowseBtnClick() {
  QString directory = TDatabaseFiles::FolderOf(FileEdit->text().trimmed());
  if (directory.isEmpty()) directory = QString::fromStdString(ServerBackupDirectory(FContext));
  // A path in the server's form is on the server's disk even when the server runs here: only
  // the server's own view of it finds the backups it wrote.
  if (IsServerPath(directory)) {
    const QString chosen = ChooseOnServer(FContext, kTitle, kBackupFileFilter, directory, BackupDates(FContext));
    if (!chosen.isEmpty() && ServerFileExists(FContext, chosen)) LoadFile(chosen);
    return;
  }
  const auto files = ServerDatabaseFiles(FContext);
  const QString chosen = files->Choose(kTitle, kBackupFileFilter, directory);
  if (!chosen.isEmpty() && files->Exists(chosen)) LoadFile(chosen);
}

void TRestoreDlg::ChooseSet(int Row) {
  if (Row >= 0 && Row < SetList->topLevelItemCount()) SetList->setCurrentItem(SetList->topLevelItem(Row));
}

bool TRestoreDlg::ChoosePosition(int Position) {
  for (size_t i = 0; i < FSets.size(); ++i)
    if (FSets[i].Position == Position) {
      ChooseSet(static_cast<int>(i));
      return true;
    }
  return false;
}

const TBackupSet* TRestoreDlg::SelectedSet() const {
  const int row = SetList->indexOfTopLevelItem(SetList->currentItem());
  return row >= 0 && row < static_cast<int>(FSets.size()) ? &FSets[row] : nullptr;
}

void TRestoreDlg::ShowFiles() {
  FileList->clear();
  const TBackupSet* set = SelectedSet();
  if (set) {
    std::vector<TBackupFile> files;
    ListBackupFiles(FContext, FFile, set->Position, files);
    for (const TBackupFile& f : files)
      FileList->addTopLevelItem(new QTreeWidgetItem({QString::fromStdString(f.Logical),
                                                     QString::fromStdString(f.Physical),
                                                     f.Log ? QStringLiteral("dziennik") : QStringLiteral("dane")}));
    FitColumns(FileList);
    OverRadio->setText(QStringLiteral("Odtwórz w miejsce bazy \"%1\", z której pochodzi kopia")
                           .arg(QString::fromStdString(set->Database)));
    if (NameEdit->text().isEmpty()) NameEdit->setText(QString::fromStdString(set->Database) + "_kopia");
  }
  UpdateButtons();
}

void TRestoreDlg::UpdateButtons() {
  const bool chosen = SelectedSet() != nullptr;
  VerifyBtn->setEnabled(chosen);
  OKBtn->setEnabled(chosen);
  NameEdit->setEnabled(NewRadio->isChecked());
}

void TRestoreDlg::VerifyBtnClick() {
  if (const TBackupSet* set = SelectedSet()) VerifyBackup(FContext, FFile, set->Position);
}

bool TRestoreDlg::AsNew() const { return NewRadio->isChecked(); }

std::string TRestoreDlg::NewName() const { return NameEdit->text().trimmed().toStdString(); }

void TRestoreDlg::OKBtnClick() {
  const TBackupSet* set = SelectedSet();
  if (!set) return;
  if (AsNew() && NewName().empty()) {
    ShowMessage(this, QStringLiteral("Nie podano nazwy bazy"), windowTitle(), MsgIcon::Error);
    return;
  }
  // "Nie" leaves the user in the dialog, to choose another backup or another name.
  if (!AsNew() && !ConfirmRestoreOver(this, *set)) return;
  accept();
}

}  // namespace vandrel::app::admin
