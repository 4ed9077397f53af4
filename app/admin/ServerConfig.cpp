#include "app/admin/ServerConfig.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>
#include <climits>

#include "app/DialogSeam.h"
#include "app/CommandContext.h"
#include "app/admin/CommandReport.h"
#include "app/admin/DatabaseFiles.h"
#include "platform/MemoryStatus.h"

namespace vandrel::app::admin {

std::function<std::uint64_t()> PhysicalMemory = [] {
  platform::TMemoryStatus status;
  platform::GlobalMemoryStatus(status);
  return status.TotalPhys;
};

namespace {

const char* const kNoLimit = "2147483647";
// What the dialog shows for a setting the server did not give this login.
const char* const kUnreadSetting = "niedostępne";

QSlider* TrackBar(int Minimum, int Maximum, QLabel*& Stat, const char* Name) {
  auto* bar = new QSlider(Qt::Horizontal);
  bar->setObjectName(Name);
  bar->setRange(Minimum, std::max(Minimum, Maximum));
  bar->setValue(Minimum);
  Stat = new QLabel(QString::number(Minimum));
  QObject::connect(bar, &QSlider::valueChanged, Stat, [Stat](int v) { Stat->setText(QString::number(v)); });
  return bar;
}

// A bar with its caption, number label and the end labels.
void AddBar(QGridLayout* Grid, int Row, const char* Caption, QSlider* Bar, QLabel* Stat) {
  Grid->addWidget(new QLabel(QString::fromUtf8(Caption)), Row, 0);
  Grid->addWidget(Stat, Row, 2, Qt::AlignRight);
  Grid->addWidget(Bar, Row + 1, 0, 1, 3);
  Grid->addWidget(new QLabel(QString::number(Bar->minimum()) + " MB"), Row + 2, 0);
  Grid->addWidget(new QLabel(QString::number(Bar->maximum()) + " MB"), Row + 2, 2, Qt::AlignRight);
}

QLineEdit* AddSettingEdit(QGridLayout* Grid, int Row, const char* Label, const char* Unit, const char* Default) {
  Grid->addWidget(new QLabel(QString::fromUtf8(Label)), Row, 0);
  auto* edit = new QLineEdit(QString::fromUtf8(Default));
  Grid->addWidget(edit, Row, 1);
  Grid->addWidget(new QLabel(QString::fromUtf8(Unit)), Row, 2);
  return edit;
}

// Position of a bar as sent: its right end means no limit.
std::string Position(const QSlider* Bar) {
  return Bar->value() == Bar->maximum() ? kNoLimit : std::to_string(Bar->value());
}

int Limited(const std::string& Text, const QSlider* Bar) {
  const long long v = std::atoll(Text.c_str());
  return int(std::clamp<long long>(v, Bar->minimum(), Bar->maximum()));
}

}  // namespace

namespace {

// Only plain digits, with an optional minus: no blanks, signs or separators around them.
bool DigitsOnly(const QString& Text) {
  static const QRegularExpression digits(QStringLiteral("^-?[0-9]+$"));
  return digits.match(Text).hasMatch();
}

}  // namespace

bool IsWholeNumber(const QString& Text) {
  bool ok = false;
  const qlonglong v = Text.toLongLong(&ok);
  return ok && DigitsOnly(Text) && v >= INT_MIN && v <= INT_MAX;
}

QString NumberProblem(const QString& Field, const QString& Text) {
  if (Text.isEmpty() || IsWholeNumber(Text)) return {};
  if (DigitsOnly(Text)) {
    return QStringLiteral("Wartość pola \"%1\" jest poza zakresem: parametr serwera przyjmuje liczby od %2 do %3.")
        .arg(Field)
        .arg(INT_MIN)
        .arg(INT_MAX);
  }
  return QStringLiteral("Wartość pola \"%1\" nie jest liczbą całkowitą.").arg(Field);
}

TOKBottomDlg1::TOKBottomDlg1(TCommandContext& Context, int MemoryMegabytes)
    : QDialog(Context.DialogParent()), FContext(Context) {
  setObjectName("OKBottomDlg1");
  setWindowTitle(QStringLiteral("Konfiguracja serwera"));
  auto* main = new QVBoxLayout(this);
  auto* pages = Pages = new QTabWidget;
  main->addWidget(pages);

  auto* memory = new QWidget;
  auto* mg = new QGridLayout(memory);
  RadioButton1 = new QRadioButton(QStringLiteral("Dynamiczny przydział pamięci"));
  RadioButton2 = new QRadioButton(QStringLiteral("Statyczny przydział pamięci"));
  auto* memoryGroup = FMemoryGroup = new QButtonGroup(this);
  memoryGroup->addButton(RadioButton1);
  memoryGroup->addButton(RadioButton2);
  RadioButton1->setChecked(true);
  TrackBar1 = TrackBar(0, MemoryMegabytes, StatMin, "TrackBar1");
  TrackBar2 = TrackBar(4, MemoryMegabytes, StatMax, "TrackBar2");
  TrackBar3 = TrackBar(16, MemoryMegabytes, StatFixed, "TrackBar3");
  mg->addWidget(RadioButton1, 0, 0, 1, 3);
  AddBar(mg, 1, "Minimum (MB):", TrackBar1, StatMin);
  AddBar(mg, 4, "Maksimum (MB):", TrackBar2, StatMax);
  mg->addWidget(RadioButton2, 7, 0, 1, 3);
  AddBar(mg, 8, "", TrackBar3, StatFixed);
  CheckBox1 = new QCheckBox(QStringLiteral("Rezerwacja przydzielonej pamięci"));
  mg->addWidget(CheckBox1, 11, 0, 1, 2);
  WorkingSetState = new QLabel;
  WorkingSetState->setObjectName("WorkingSetState");
  mg->addWidget(WorkingSetState, 11, 2, Qt::AlignRight);
  Edit1 = AddSettingEdit(mg, 12, "Minimalna wielkość pamięci dla zapytania SQL:", "kB", "1024");
  pages->addTab(memory, QStringLiteral("Pamięć"));

  auto* connection = new QWidget;
  auto* cg = new QGridLayout(connection);
  Edit2 = AddSettingEdit(cg, 0, "Login timeout:", "sekund", "20");
  Edit3 = AddSettingEdit(cg, 1, "Query timeout:", "sekund", "600");
  Edit4 = AddSettingEdit(cg, 2, "Rozmiar pakietu sieciowego:", "bajtów", "4096");
  cg->setRowStretch(3, 1);
  pages->addTab(connection, QStringLiteral("Połączenie"));

  RadioButton3 = new QRadioButton(QStringLiteral("Zapisane parametry konfiguracyjne"));
  RadioButton4 = new QRadioButton(QStringLiteral("Ustawienia na których działa obecnie uruchomiony silnik bazodanowy"));
  auto* sourceGroup = new QButtonGroup(this);
  sourceGroup->addButton(RadioButton3);
  sourceGroup->addButton(RadioButton4);
  RadioButton3->setChecked(true);
  main->addWidget(RadioButton3);
  main->addWidget(RadioButton4);

  auto* buttons = new QHBoxLayout;
  auto* save = SaveButton = new QPushButton(QStringLiteral("Zapisz"));
  save->setObjectName("SaveButton");
  auto* cancel = new QPushButton(QStringLiteral("Anuluj"));
  save->setDefault(true);
  buttons->addStretch();
  buttons->addWidget(save);
  buttons->addWidget(cancel);
  main->addLayout(buttons);
  setFixedSize(sizeHint());

  connect(save, &QPushButton::clicked, this, [this] {
    if (CheckNumbers()) accept();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(RadioButton1, &QRadioButton::toggled, this, [this] { ApplyMemoryMode(); });
  const auto load = [this](int column) {
    try {
      LoadConfiguration(column);
    } catch (...) {
      // The SQL error report has shown the failed reading; the dialog keeps what it showed.
    }
  };
  connect(RadioButton3, &QRadioButton::clicked, this, [load] { load(3); });
  connect(RadioButton4, &QRadioButton::clicked, this, [load] { load(4); });
}

void TOKBottomDlg1::ApplyMemoryMode() {
  const bool dynamic = RadioButton1->isChecked();
  const bool fixed = RadioButton2->isChecked();  // neither while the memory was not read
  for (QWidget* w : {static_cast<QWidget*>(TrackBar1), static_cast<QWidget*>(TrackBar2),
                     static_cast<QWidget*>(StatMin), static_cast<QWidget*>(StatMax)})
    w->setEnabled(dynamic);
  TrackBar3->setEnabled(fixed);
  StatFixed->setEnabled(fixed);
}

void TOKBottomDlg1::showEvent(QShowEvent* Event) {
  QDialog::showEvent(Event);
  ShowMemoryNumbers();
  ApplyMemoryMode();
}

void TOKBottomDlg1::ShowMemoryNumbers() {
  const std::pair<QLabel*, QSlider*> pairs[] = {{StatMin, TrackBar1}, {StatMax, TrackBar2}, {StatFixed, TrackBar3}};
  for (const auto& [stat, bar] : pairs)
    stat->setText(FMemoryRead ? QString::number(bar->value()) : QString::fromUtf8(kUnreadSetting));
}

void TOKBottomDlg1::ShowWorkingSet(const std::string& Value) {
  FWorkingSetRead = !Value.empty();
  CheckBox1->setChecked(Value == "1");
  CheckBox1->setEnabled(FWorkingSetRead);
  WorkingSetState->setText(FWorkingSetRead ? QString() : QString::fromUtf8(kUnreadSetting));
}

void TOKBottomDlg1::ShowMemoryUnread() {
  // Neither mode is the server's: no radio button is chosen until a reading gives one.
  FMemoryRead = false;
  FMemoryGroup->setExclusive(false);
  RadioButton1->setChecked(false);
  RadioButton2->setChecked(false);
  FMemoryGroup->setExclusive(true);
  ShowMemoryNumbers();
}

void TOKBottomDlg1::SetWritable(bool Writable) {
  FWritable = Writable;
  SaveButton->setEnabled(Writable);
}

bool TOKBottomDlg1::CheckNumbers() {
  const std::pair<QLineEdit*, const char*> fields[] = {{Edit2, "Login timeout:"},
                                                       {Edit3, "Query timeout:"},
                                                       {Edit4, "Rozmiar pakietu sieciowego:"},
                                                       {Edit1, "Minimalna wielkość pamięci dla zapytania SQL:"}};
  for (const auto& [edit, label] : fields) {
    const QString problem = NumberProblem(QString::fromUtf8(label), edit->text());
    if (problem.isEmpty()) continue;
    ShowMessage(this, problem, QStringLiteral("Konfiguracja serwera"), MsgIcon::Error);
    Pages->setCurrentIndex(edit == Edit1 ? 0 : 1);
    edit->setFocus();
    return false;
  }
  return true;
}

void TOKBottomDlg1::LoadConfiguration(int Column) {
  // Advanced options are shown to a login that may change them; another reads what it can.
  if (FWritable) {
    FContext.ExecInDatabase("sp_configure 'show advanced options', 1", "master");
    FContext.ExecInDatabase("RECONFIGURE WITH OVERRIDE", "master");
  }
  // A login that may only look reads quietly: an option hidden from it shows as unknown.
  const auto read = [&](const char* option) {
    const std::string query = std::string("sp_configure '") + option + "'";
    if (FWritable) return FContext.QueryField(query, Column, "master");
    TQuietErrors quiet(FContext);
    std::string value;
    try {
      value = FContext.QueryField(query, Column, "master");
    } catch (...) {
      // An option hidden from this login stays empty: the dialog shows it as unknown.
    }
    return value;
  };
  Pages->setEnabled(FWritable);
  const std::string login = read("remote login timeout (s)");
  if (login.empty() && FWritable) return;
  // An edit the server gave nothing for is empty (so "Zapisz" sends nothing for it) and says so.
  const auto show = [](QLineEdit* Edit, const std::string& Value) {
    Edit->setText(QString::fromStdString(Value));
    Edit->setPlaceholderText(Value.empty() ? QString::fromUtf8(kUnreadSetting) : QString());
  };
  show(Edit2, login);
  show(Edit3, read("remote query timeout (s)"));
  show(Edit4, read("network packet size (B)"));
  show(Edit1, read("min memory per query (KB)"));
  ShowWorkingSet(read("set working set size"));
  const std::string min = read("min server memory (MB)");
  const std::string max = read("max server memory (MB)");
  if (min.empty() || max.empty()) {
    ShowMemoryUnread();
    return;
  }
  FMemoryRead = true;
  if (min == max) {
    RadioButton2->setChecked(true);
    TrackBar3->setValue(Limited(min, TrackBar3));
  } else {
    RadioButton1->setChecked(true);
    TrackBar1->setValue(Limited(min, TrackBar1));
    TrackBar2->setValue(Limited(max, TrackBar2));
  }
  ShowMemoryNumbers();
}

std::vector<TConfigWrite> TOKBottomDlg1::Writes() const {
  const QString reconfigure = QStringLiteral("zastosowanie zmian (RECONFIGURE WITH OVERRIDE)");
  std::vector<TConfigWrite> out = {
      {"sp_configure 'show advanced options', 1", QStringLiteral("pokazanie opcji zaawansowanych")},
      {"RECONFIGURE WITH OVERRIDE", reconfigure}};
  const auto option = [&](const char* name, const QLineEdit* edit, const char* label) {
    // Only a whole number goes into the statement, so the text cannot add one of its own
    // (CheckNumbers has named any other to the user).
    if (!IsWholeNumber(edit->text())) return;
    out.push_back({std::string("sp_configure '") + name + "'," + edit->text().toStdString(),
                   QString::fromUtf8(label).chopped(1)});
  };
  option("remote login timeout (s)", Edit2, "Login timeout:");
  option("remote query timeout (s)", Edit3, "Query timeout:");
  option("network packet size (B)", Edit4, "Rozmiar pakietu sieciowego:");
  option("min memory per query (KB)", Edit1, "Minimalna wielkość pamięci dla zapytania SQL:");
  // A setting the server did not give is not written back: the dialog knows no value of it.
  if (FWorkingSetRead)
    out.push_back({CheckBox1->isChecked() ? "sp_configure 'set working set size',1"
                                          : "sp_configure 'set working set size',0",
                   CheckBox1->text()});
  if (FMemoryRead) AddMemoryWrites(out);
  out.push_back({"RECONFIGURE WITH OVERRIDE", reconfigure});
  return out;
}

void TOKBottomDlg1::AddMemoryWrites(std::vector<TConfigWrite>& Out) const {
  const bool fixed = RadioButton2->isChecked();
  Out.push_back({"sp_configure 'min server memory (MB)'," + Position(fixed ? TrackBar3 : TrackBar1),
                 QStringLiteral("minimum pamięci serwera")});
  Out.push_back({"sp_configure 'max server memory (MB)'," + Position(fixed ? TrackBar3 : TrackBar2),
                 QStringLiteral("maksimum pamięci serwera")});
}

int ServerMemoryMegabytes(TCommandContext& Context) {
  const int local = int(std::min<std::uint64_t>(PhysicalMemory() >> 20, INT_MAX));
  if (ServerIsThisMachine(Context)) return local;
  std::string megabytes;
  try {
    megabytes = Context.QueryField("xp_msver 'PhysicalMemory'", 2, "master");
  } catch (...) {
    // Shown by the SQL error report; this machine's memory is the nearest guess left.
  }
  bool number = false;
  const qlonglong server = QString::fromStdString(megabytes).toLongLong(&number);
  return number && server > 0 ? int(std::min<qlonglong>(server, INT_MAX)) : local;
}

void ConfigureServer(TCommandContext& Context) {
  auto* dialog = Context.DialogParent()->findChild<TOKBottomDlg1*>();
  ConfigureServer(Context, dialog ? dialog->TrackBar1->maximum() : ServerMemoryMegabytes(Context));
}

void ConfigureServer(TCommandContext& Context, int MemoryMegabytes) {
  QWidget* window = Context.DialogParent();
  auto* dialog = window->findChild<TOKBottomDlg1*>();
  if (!dialog) dialog = new TOKBottomDlg1(Context, MemoryMegabytes);
  // Only a sysadmin changes the server's settings: another login is told so once, here,
  // instead of by every statement the server would refuse.
  const bool sysadmin = Context.QueryScalar("select IS_SRVROLEMEMBER('sysadmin')", "master").Value == "1";
  if (!sysadmin) {
    ShowMessage(window,
                QStringLiteral("Login \"%1\" nie należy do roli sysadmin, więc nie może zmieniać konfiguracji "
                               "serwera. Parametry zostaną tylko pokazane.")
                    .arg(QString::fromStdString(LoginName(Context))),
                QStringLiteral("Konfiguracja serwera"), MsgIcon::Warning);
  }
  dialog->SetWritable(sysadmin);
  try {
    dialog->LoadConfiguration(dialog->RadioButton4->isChecked() ? 4 : 3);
  } catch (...) {
    return;  // shown by the SQL error report; the dialog is not shown
  }
  if (DialogSeam::Current().ExecDialog(dialog) != QDialog::Accepted) return;
  QStringList failed;
  int saved = 0;
  for (const TConfigWrite& write : dialog->Writes()) {
    const bool done = Context.ExecInDatabase(write.Sql, "master");
    saved += done && write.Sql.rfind("sp_configure '", 0) == 0 && write.Sql.find("show advanced") == std::string::npos;
    if (!done && !failed.contains(write.Setting)) failed << write.Setting;
  }
  if (failed.isEmpty()) {
    ShowMessage(window,
                QStringLiteral("Modyfikacja parametrów serwera zakończona. Uwaga! Część parametrów może nie "
                               "zadziałać od razu, lecz dopiero po ponowym uruchomieniu silnika bazodanowego."),
                QStringLiteral("Modyfikacja parametrów serwera"), MsgIcon::Information);
  } else {
    ShowMessage(window,
                (saved == 0 ? QStringLiteral("Nie zapisano żadnego parametru serwera (%1).")
                            : QStringLiteral("Nie zapisano: %1. Pozostałe parametry serwera zostały zapisane."))
                        .arg(failed.join(QStringLiteral(", "))) +
                    QStringLiteral("\nPowody pokazał raport błędów SQL."),
                QStringLiteral("Modyfikacja parametrów serwera"), MsgIcon::Warning);
  }
  Context.RefreshTree();
}

}  // namespace vandrel::app::admin
