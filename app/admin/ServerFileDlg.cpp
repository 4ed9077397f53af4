#include "app/admin/ServerFileDlg.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>

#include "app/SqlQuoting.h"

namespace vandrel::app::admin {

namespace {

std::string Literal(const QString& Text) { return "'" + EscapeLiteral(Text.toStdString()) + "'"; }

bool Matches(const QString& Name, const QString& Pattern) {
  if (Pattern == "*.*" || Pattern == "*") return true;
  const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(Pattern),
                              QRegularExpression::CaseInsensitiveOption);
  return re.match(Name).hasMatch();
}

}  // namespace

bool ServerFileExists(TCommandContext& Context, const QString& Path) {
  if (Path.isEmpty()) return false;
  return Context.QueryScalar("xp_fileexist " + Literal(Path), "master").Value == "1";
}

std::optional<bool> ServerHasFile(TCommandContext& Context, const QString& Path) {
  if (Path.isEmpty()) return false;
  TQuietErrors quiet(Context);
  const TStepValue answer = Context.QueryScalar("xp_fileexist " + UnicodeLiteral(Path.toStdString()), "master");
  if (!answer.Done() || answer.Value.empty()) return std::nullopt;
  return answer.Value == "1";
}

std::optional<bool> ServerSeesDirectoryOf(TCommandContext& Context, const QString& Path) {
  if (Path.isEmpty()) return false;
  TQuietErrors quiet(Context);
  TextList answer;
  // Columns: file exists, is a directory, parent directory exists.
  if (Context.QueryToList(answer, "xp_fileexist " + UnicodeLiteral(Path.toStdString()), "master") !=
          TStepOutcome::soDone ||
      answer.size() < 4 || answer[0] != "3")
    return std::nullopt;
  return answer[3] == "1";
}

TServerFileDlg::TServerFileDlg(TCommandContext& Context, const QString& Title, const QString& Filter)
    : QDialog(Context.DialogParent()), FContext(Context) {
  setObjectName("ServerFileDlg");
  setWindowTitle(Title);
  setFixedSize(460, 360);

  auto* where = new QLabel(QStringLiteral("Katalog na serwerze:"), this);
  where->setGeometry(12, 12, 140, 21);
  DirectoryEdit = new QLineEdit(this);
  DirectoryEdit->setObjectName("DirectoryEdit");
  DirectoryEdit->setReadOnly(true);
  DirectoryEdit->setGeometry(12, 34, 360, 23);
  UpBtn = new QPushButton(QStringLiteral("W górę"), this);
  UpBtn->setObjectName("UpBtn");
  UpBtn->setGeometry(380, 33, 68, 25);

  FileList = new QListWidget(this);
  FileList->setObjectName("FileList");
  FileList->setGeometry(12, 66, 436, 190);

  auto* name = new QLabel(QStringLiteral("Nazwa pliku:"), this);
  name->setGeometry(12, 266, 100, 21);
  FileNameEdit = new QLineEdit(this);
  FileNameEdit->setObjectName("FileNameEdit");
  FileNameEdit->setGeometry(112, 264, 250, 23);
  FilterBox = new QComboBox(this);
  FilterBox->setObjectName("FilterBox");
  FilterBox->setGeometry(112, 294, 250, 23);
  const QStringList parts = Filter.split('|');
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    FilterBox->addItem(parts[i]);
    FPatterns << parts[i + 1];
  }

  OKBtn = new QPushButton(QStringLiteral("Otwórz"), this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setDefault(true);
  OKBtn->setGeometry(372, 263, 76, 25);
  CancelBtn = new QPushButton(QStringLiteral("Anuluj"), this);
  CancelBtn->setObjectName("CancelBtn");
  CancelBtn->setGeometry(372, 293, 76, 25);

  connect(UpBtn, &QPushButton::clicked, this, [this] { Up(); });
  connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(FilterBox, &QComboBox::currentIndexChanged, this, [this] { Refill(); });
  connect(FileList, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    const QString entry = item->data(Qt::UserRole).toString();
    if (!entry.endsWith('\\')) FileNameEdit->setText(entry);
  });
  connect(FileList, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { Choose(item->data(Qt::UserRole).toString()); });
}

QString TServerFileDlg::Join(const QString& Name) const {
  if (FDirectory.isEmpty()) return Name;
  return FDirectory.endsWith('\\') ? FDirectory + Name : FDirectory + "\\" + Name;
}

void TServerFileDlg::OpenDirectory(const QString& Directory) {
  FDirectory = Directory;
  DirectoryEdit->setText(FDirectory);
  FDirectories.clear();
  FFiles.clear();
  // Flat list: column count, then subdirectory, depth, file for each entry.
  TextList list;
  FContext.QueryToList(list, "xp_dirtree " + Literal(FDirectory) + ", 1, 1", "master");
  for (size_t i = 1; i + 2 < list.size(); i += 3) {
    const QString entry = QString::fromStdString(list[i]);
    (list[i + 2] == "1" ? FFiles : FDirectories) << entry;
  }
  Refill();
}

void TServerFileDlg::Refill() {
  FileList->clear();
  // Each item keeps its entry apart from the text shown, which may carry a date.
  auto add = [this](const QString& Entry, const QString& Shown) {
    auto* item = new QListWidgetItem(Shown, FileList);
    item->setData(Qt::UserRole, Entry);
  };
  for (const QString& d : FDirectories) add(d + "\\", d + "\\");
  const QString pattern = FPatterns.value(FilterBox->currentIndex(), "*.*");
  for (const QString& f : FFiles) {
    if (!Matches(f, pattern)) continue;
    const QString date = FileDates.value(Join(f).toLower());
    add(f, date.isEmpty() ? f : f + QStringLiteral("    (") + date + ")");
  }
}

QStringList TServerFileDlg::Entries() const {
  QStringList entries;
  for (int i = 0; i < FileList->count(); ++i) entries << FileList->item(i)->data(Qt::UserRole).toString();
  return entries;
}

void TServerFileDlg::Choose(const QString& Entry) {
  if (Entry.endsWith('\\')) {
    OpenDirectory(Join(Entry.chopped(1)));
    return;
  }
  FFileName = Join(Entry);
  accept();
}

void TServerFileDlg::Up() {
  QString dir = FDirectory;
  while (dir.endsWith('\\')) dir.chop(1);
  const int slash = dir.lastIndexOf('\\');
  if (slash < 0) return;
  dir.truncate(slash);
  if (dir.size() == 2 && dir[1] == ':') dir += '\\';  // the root of a drive
  OpenDirectory(dir);
}

void TServerFileDlg::OKBtnClick() {
  const QString typed = FileNameEdit->text().trimmed();
  if (typed.isEmpty()) return;
  const bool absolute = typed.startsWith("\\\\") || (typed.size() > 1 && typed[1] == ':');
  const QString path = absolute ? typed : Join(typed);
  if (FDirectories.contains(typed, Qt::CaseInsensitive) || typed.endsWith('\\')) {
    OpenDirectory(path.endsWith('\\') && path.size() > 3 ? path.chopped(1) : path);
    FileNameEdit->clear();
    return;
  }
  FFileName = path;
  accept();
}

}  // namespace vandrel::app::admin
