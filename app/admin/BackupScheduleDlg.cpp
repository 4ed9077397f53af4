#include "app/admin/BackupScheduleDlg.h"

#include <pwd.h>
#include <unistd.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QSysInfo>
#include <QTimeEdit>
#include <algorithm>

#include "app/DialogSeam.h"
#include "app/QtText.h"
#include "app/ServerPaths.h"

namespace vandrel::app::admin {
namespace {

const QString kScheduleCaption = QStringLiteral("Harmonogram kopii");
constexpr const char* kShortDayNames[7] = {"pn", "wt", "śr", "cz", "pt", "so", "nd"};
// Lines of the last run shown at most; the log holds them all.
constexpr int kShownRunLines = 6;

// The user the tool runs as, whose user manager runs the timer.
QString UserName() {
  const passwd* user = getpwuid(geteuid());
  return user ? QString::fromLocal8Bit(user->pw_name) : QStringLiteral("UŻYTKOWNIK");
}

QString LastRunText(const TScheduleState& State, const TSchedulePaths& Paths) {
  if (!State.LogRead || State.Last.Status < 0)
    return QStringLiteral("Ostatnia kopia: jeszcze żadnej (dziennik: %1)").arg(Q(Paths.Log));
  QString text = QStringLiteral("Ostatnia kopia: %1, kod wyjścia %2 (%3)")
                     .arg(Q(State.Last.Finished))
                     .arg(State.Last.Status)
                     .arg(Q(ExitStatusText(State.Last.Status)));
  const QStringList lines = Q(State.Last.Lines).split('\n', Qt::SkipEmptyParts);
  for (int i = 0; i < std::min<int>(lines.size(), kShownRunLines); ++i) text += "\n  " + lines[i];
  if (lines.size() > kShownRunLines) text += QStringLiteral("\n  ... (dziennik: %1)").arg(Q(Paths.Log));
  return text;
}

}  // namespace

TBackupScheduleDlg::TBackupScheduleDlg(QWidget* Parent, const TBackupScheduler& Scheduler,
                                       const std::vector<std::string>& Databases, const TBackupSchedule& Proposal,
                                       std::string Password)
    : QDialog(Parent), FScheduler(Scheduler), FProposal(Proposal), FPassword(std::move(Password)) {
  setObjectName("BackupScheduleDlg");
  setWindowTitle(QStringLiteral("Harmonogram kopii baz serwera %1").arg(Q(Proposal.Server)));
  setFixedSize(600, 560);

  auto* databasesLabel = new QLabel(QStringLiteral("Bazy do skopiowania:"), this);
  databasesLabel->setGeometry(16, 12, 260, 18);
  DatabaseList = new QListWidget(this);
  DatabaseList->setObjectName("DatabaseList");
  DatabaseList->setGeometry(16, 32, 260, 200);

  auto* timeLabel = new QLabel(QStringLiteral("Godzina kopii:"), this);
  timeLabel->setGeometry(296, 12, 140, 18);
  TimeEdit = new QTimeEdit(this);
  TimeEdit->setObjectName("TimeEdit");
  TimeEdit->setDisplayFormat(QStringLiteral("HH:mm"));
  TimeEdit->setGeometry(296, 32, 80, 23);
  auto* daysLabel = new QLabel(QStringLiteral("W dni:"), this);
  daysLabel->setGeometry(296, 66, 140, 18);
  for (int d = 0; d < 7; ++d) {
    DayChecks[d] = new QCheckBox(QString::fromUtf8(kShortDayNames[d]), this);
    DayChecks[d]->setObjectName(QStringLiteral("DayCheck%1").arg(d));
    DayChecks[d]->setGeometry(296 + (d % 4) * 70, 86 + (d / 4) * 24, 64, 21);
  }
  auto* directoryLabel = new QLabel(QStringLiteral("Katalog kopii na dysku serwera:"), this);
  directoryLabel->setGeometry(296, 144, 290, 18);
  DirectoryEdit = new QLineEdit(this);
  DirectoryEdit->setObjectName("DirectoryEdit");
  DirectoryEdit->setGeometry(296, 164, 288, 23);
  auto* keepLabel = new QLabel(QStringLiteral("Zostaw najnowszych kopii każdej bazy:"), this);
  keepLabel->setGeometry(296, 198, 230, 18);
  KeepSpin = new QSpinBox(this);
  KeepSpin->setObjectName("KeepSpin");
  KeepSpin->setRange(0, 365);
  KeepSpin->setSpecialValueText(QStringLiteral("wszystkie"));
  KeepSpin->setGeometry(526, 196, 58, 23);

  MachineLabel = new QLabel(this);
  MachineLabel->setObjectName("MachineLabel");
  MachineLabel->setWordWrap(true);
  MachineLabel->setGeometry(16, 244, 568, 72);
  QString machine = QStringLiteral(
                        "Harmonogram działa na tym komputerze (%1), nie na serwerze: o wybranej godzinie ten "
                        "komputer musi być włączony, a serwer dostępny. Kopie robi program vandrel-backup jako "
                        "użytkownik, który zapisał harmonogram; hasło logowania leży w pliku, który może czytać "
                        "tylko ten użytkownik.")
                        .arg(QSysInfo::machineHostName());
  if (!IsThisMachine(Proposal.Server)) {
    // vandrel-backup removes old files only from a disk of its own machine.
    KeepSpin->setEnabled(false);
    machine += QStringLiteral(" Serwer działa na innym komputerze, więc starsze kopie zostają: usuwa je tylko "
                              "program uruchomiony na komputerze serwera.");
  }
  MachineLabel->setText(machine);

  StatusLabel = new QLabel(this);
  StatusLabel->setObjectName("StatusLabel");
  StatusLabel->setWordWrap(true);
  StatusLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  StatusLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  StatusLabel->setGeometry(16, 322, 568, 180);

  SaveBtn = new QPushButton(QStringLiteral("Zapisz harmonogram"), this);
  SaveBtn->setObjectName("SaveBtn");
  SaveBtn->setDefault(true);
  SaveBtn->setGeometry(16, 518, 150, 25);
  RemoveBtn = new QPushButton(QStringLiteral("Usuń harmonogram"), this);
  RemoveBtn->setObjectName("RemoveBtn");
  RemoveBtn->setGeometry(176, 518, 150, 25);
  CloseBtn = new QPushButton(QStringLiteral("Zamknij"), this);
  CloseBtn->setObjectName("CloseBtn");
  CloseBtn->setGeometry(494, 518, 90, 25);

  connect(SaveBtn, &QPushButton::clicked, this, [this] { SaveBtnClick(); });
  connect(RemoveBtn, &QPushButton::clicked, this, [this] { RemoveBtnClick(); });
  connect(CloseBtn, &QPushButton::clicked, this, &QDialog::reject);

  const TScheduleState state = FScheduler.State();
  TBackupSchedule shown = state.Schedule.value_or(Proposal);
  if (!KeepSpin->isEnabled()) shown.Keep = 0;
  Show(shown, Databases);
  ShowState();
}

void TBackupScheduleDlg::Show(const TBackupSchedule& Schedule, const std::vector<std::string>& Databases) {
  std::vector<std::string> names = Databases;
  // A scheduled database the server no longer lists stays visible, so the user sees it.
  for (const std::string& scheduled : Schedule.Databases)
    if (std::find(names.begin(), names.end(), scheduled) == names.end()) names.push_back(scheduled);
  for (const std::string& name : names) {
    auto* item = new QListWidgetItem(Q(name), DatabaseList);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    const bool chosen = std::find(Schedule.Databases.begin(), Schedule.Databases.end(), name) != Schedule.Databases.end();
    item->setCheckState(chosen ? Qt::Checked : Qt::Unchecked);
  }
  TimeEdit->setTime(QTime(Schedule.Hour, Schedule.Minute));
  for (int d = 0; d < 7; ++d) DayChecks[d]->setChecked(Schedule.Days[d]);
  DirectoryEdit->setText(Q(Schedule.Directory));
  KeepSpin->setValue(Schedule.Keep);
}

TBackupSchedule TBackupScheduleDlg::Chosen() const {
  TBackupSchedule s = FProposal;
  s.Databases.clear();
  for (int i = 0; i < DatabaseList->count(); ++i)
    if (DatabaseList->item(i)->checkState() == Qt::Checked) s.Databases.push_back(DatabaseList->item(i)->text().toStdString());
  s.Hour = TimeEdit->time().hour();
  s.Minute = TimeEdit->time().minute();
  for (int d = 0; d < 7; ++d) s.Days[d] = DayChecks[d]->isChecked();
  s.Directory = DirectoryEdit->text().trimmed().toStdString();
  s.Keep = KeepSpin->isEnabled() ? KeepSpin->value() : 0;
  return s;
}

void TBackupScheduleDlg::ShowState() {
  const TScheduleState state = FScheduler.State();
  const TSchedulePaths& paths = FScheduler.Paths();
  QString text;
  if (!state.Exists) {
    text = QStringLiteral("Harmonogram: brak. Kopie nie są robione samoczynnie.");
  } else {
    // A user manager runs while its user is logged in, or always once lingering is on.
    text = state.ViaSystemd ? QStringLiteral("Harmonogram: timer systemd użytkownika %1.timer (%2); gdy nikt nie jest "
                                             "zalogowany, działa po \"loginctl enable-linger %3\"")
                                  .arg(Q(paths.Name), Q(paths.UnitDirectory), UserName())
                            : QStringLiteral("Harmonogram: wiersz crontab użytkownika (oznaczony \"# Vandrel: %1\")")
                                  .arg(Q(paths.Name));
    text += QStringLiteral("\nNastępna kopia: %1").arg(Q(state.NextRun));
  }
  StatusLabel->setText(text + "\n" + LastRunText(state, paths));
  RemoveBtn->setEnabled(state.Exists);
}

void TBackupScheduleDlg::SaveBtnClick() {
  const TBackupSchedule schedule = Chosen();
  if (const std::string problem = ScheduleProblem(schedule); !problem.empty()) {
    ShowMessage(this, Q(problem), kScheduleCaption, MsgIcon::Error);
    return;
  }
  const std::string failure = FScheduler.Save(schedule, FPassword);
  ShowState();
  if (!failure.empty()) {
    ShowMessage(this, QStringLiteral("Harmonogramu nie zapisano.\n\n") + Q(failure), kScheduleCaption, MsgIcon::Error);
    return;
  }
  ShowMessage(this, QStringLiteral("Harmonogram kopii zapisany. Następna kopia: %1.").arg(Q(FScheduler.State().NextRun)),
              kScheduleCaption, MsgIcon::Information);
}

void TBackupScheduleDlg::RemoveBtnClick() {
  if (!Confirm(this,
               QStringLiteral("Czy usunąć harmonogram kopii baz serwera %1? Zrobione kopie i dziennik zostają.")
                   .arg(Q(FProposal.Server)),
               kScheduleCaption))
    return;
  const std::string failure = FScheduler.Remove();
  ShowState();
  if (!failure.empty()) {
    ShowMessage(this, QStringLiteral("Harmonogramu nie usunięto w całości.\n\n") + Q(failure), kScheduleCaption,
                MsgIcon::Error);
    return;
  }
  ShowMessage(this, QStringLiteral("Harmonogram kopii usunięty."), kScheduleCaption, MsgIcon::Information);
}

}  // namespace vandrel::app::admin
