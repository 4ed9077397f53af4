#pragma once
// The "Harmonogram kopii" window: the server's databases to back up, the time and the days,
// the directory on the server's disk and how many files of each database stay; what this
// machine has scheduled (how, the next run, the last run's result from vandrel-backup's log);
// "Zapisz harmonogram" and "Usuń harmonogram" act at once and the window shows the outcome.
// It says plainly that the schedule runs on this machine, which must be on at that time.
#include <QDialog>
#include <array>
#include <string>
#include <vector>

#include "app/admin/BackupSchedule.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTimeEdit;

namespace vandrel::app::admin {

class TBackupScheduleDlg : public QDialog {
  Q_OBJECT
 public:
  // Proposal fills the window where nothing is scheduled yet; Password goes into the
  // schedule's password file.
  TBackupScheduleDlg(QWidget* Parent, const TBackupScheduler& Scheduler, const std::vector<std::string>& Databases,
                     const TBackupSchedule& Proposal, std::string Password);

  QListWidget* DatabaseList;  // checkable
  QTimeEdit* TimeEdit;
  std::array<QCheckBox*, 7> DayChecks;  // pn ... nd
  QLineEdit* DirectoryEdit;
  QSpinBox* KeepSpin;  // 0: "wszystkie"
  QLabel* MachineLabel;
  QLabel* StatusLabel;
  QPushButton* SaveBtn;
  QPushButton* RemoveBtn;
  QPushButton* CloseBtn;

  // The schedule as the window now describes it.
  TBackupSchedule Chosen() const;
  void SaveBtnClick();
  void RemoveBtnClick();

 private:
  void Show(const TBackupSchedule& Schedule, const std::vector<std::string>& Databases);
  void ShowState();

  const TBackupScheduler& FScheduler;
  TBackupSchedule FProposal;
  std::string FPassword;
};

}  // namespace vandrel::app::admin
