#include "app/admin/BackupHistoryDlg.h"

#include <QBrush>
#include <QHeaderView>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QTreeWidget>

#include "app/QtText.h"
#include "app/admin/BackupFileRow.h"
#include "app/admin/Restore.h"

namespace vandrel::app::admin {
namespace {

QString FileThereText(const std::optional<bool>& There) {
  if (!There) return QStringLiteral("nie wiadomo");
  return *There ? QStringLiteral("jest") : QStringLiteral("brak");
}

}  // namespace

TBackupHistoryDlg::TBackupHistoryDlg(TCommandContext& Context, const std::string& Database,
                                     std::vector<TBackupHistoryEntry> Entries)
    : QDialog(Context.DialogParent()), FContext(Context), FDatabase(Database), FEntries(std::move(Entries)) {
  setObjectName("BackupHistoryDlg");
  setWindowTitle(QStringLiteral("Historia kopii bazy \"%1\"").arg(Q(Database)));
  setFixedSize(720, 400);

  auto* label = new QLabel(QStringLiteral("Kopie bazy zapisane w historii serwera (msdb), od najnowszej:"), this);
  label->setGeometry(16, 12, 688, 18);
  HistoryList = new QTreeWidget(this);
  HistoryList->setObjectName("HistoryList");
  HistoryList->setRootIsDecorated(false);
  HistoryList->setHeaderLabels({QStringLiteral("Zakończona"), QStringLiteral("Rodzaj"), QStringLiteral("Rozmiar"),
                                QStringLiteral("Czas trwania"), QStringLiteral("Plik"), QStringLiteral("Plik na dysku")});
  HistoryList->setGeometry(16, 34, 688, 250);
  HistoryList->header()->setStretchLastSection(false);
  const QBrush gone = palette().brush(QPalette::Disabled, QPalette::Text);
  for (const TBackupHistoryEntry& e : FEntries) {
    auto* item = new QTreeWidgetItem({Q(e.Finished), BackupTypeText(e.Type), MegabytesOfBytes(e.Size),
                                      DurationText(e.Seconds), Q(e.File), FileThereText(e.FileThere)});
    // A backup whose file is gone reads greyed: it is history, not a way back.
    if (e.FileThere == false)
      for (int c = 0; c < item->columnCount(); ++c) item->setForeground(c, gone);
    HistoryList->addTopLevelItem(item);
  }
  for (int c = 0; c < HistoryList->columnCount(); ++c) HistoryList->resizeColumnToContents(c);

  NoteLabel = new QLabel(this);
  NoteLabel->setObjectName("NoteLabel");
  NoteLabel->setWordWrap(true);
  NoteLabel->setGeometry(16, 290, 688, 54);

  VerifyBtn = new QPushButton(QStringLiteral("Sprawdź kopię"), this);
  VerifyBtn->setObjectName("VerifyBtn");
  VerifyBtn->setGeometry(16, 360, 110, 25);
  RestoreBtn = new QPushButton(QStringLiteral("Odtwórz"), this);
  RestoreBtn->setObjectName("RestoreBtn");
  RestoreBtn->setGeometry(134, 360, 90, 25);
  CloseBtn = new QPushButton(QStringLiteral("Zamknij"), this);
  CloseBtn->setObjectName("CloseBtn");
  CloseBtn->setDefault(true);
  CloseBtn->setGeometry(614, 360, 90, 25);

  connect(HistoryList, &QTreeWidget::currentItemChanged, this, [this] { ShowChosen(); });
  connect(VerifyBtn, &QPushButton::clicked, this, [this] { VerifyBtnClick(); });
  connect(RestoreBtn, &QPushButton::clicked, this, [this] { RestoreBtnClick(); });
  connect(CloseBtn, &QPushButton::clicked, this, &QDialog::reject);
  if (!FEntries.empty()) HistoryList->setCurrentItem(HistoryList->topLevelItem(0));
  ShowChosen();
}

const TBackupHistoryEntry* TBackupHistoryDlg::Selected() const {
  const int row = HistoryList->indexOfTopLevelItem(HistoryList->currentItem());
  return row >= 0 && row < static_cast<int>(FEntries.size()) ? &FEntries[row] : nullptr;
}

void TBackupHistoryDlg::ShowChosen() {
  const TBackupHistoryEntry* e = Selected();
  QString note;
  if (FEntries.empty())
    note = QStringLiteral("Historia serwera nie zna żadnej kopii bazy \"%1\".").arg(Q(FDatabase));
  else if (e && e->FileThere == false)
    note = QStringLiteral("Pliku tej kopii nie ma na dysku serwera (przeniesiony lub usunięty): %1\r\n"
                          "Tej kopii nie można sprawdzić ani odtworzyć.")
               .arg(Q(e->File));
  else if (e && e->Type != "D")
    note = QStringLiteral("Odtworzyć można pełną kopię bazy; ta kopia jest kopią %1.")
               .arg(e->Type == "L" ? QStringLiteral("dziennika") : QStringLiteral("różnicową"));
  else if (e && !e->FileThere)
    note = QStringLiteral("Serwer nie powiedział, czy plik tej kopii jest na jego dysku.");
  NoteLabel->setText(note);
  const bool usable = e && e->FileThere != false;
  VerifyBtn->setEnabled(usable);
  RestoreBtn->setEnabled(usable && e->Type == "D");
}

void TBackupHistoryDlg::VerifyBtnClick() {
  if (const TBackupHistoryEntry* e = Selected(); e && e->FileThere != false) VerifyBackup(FContext, e->File, e->Position);
}

void TBackupHistoryDlg::RestoreBtnClick() {
  const TBackupHistoryEntry* e = Selected();
  if (e && e->FileThere != false && e->Type == "D") accept();
}

}  // namespace vandrel::app::admin
