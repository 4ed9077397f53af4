#include "app/query/QueryWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>
#include <cstdlib>

#include "app/DialogSeam.h"
#include "app/StatementWaiter.h"
#include "app/query/BatchRunner.h"
#include "app/query/BatchSplitter.h"
#include "app/query/FindBar.h"
#include "app/query/MessagesPane.h"
#include "app/query/ProgramName.h"
#include "app/query/QueryEditor.h"
#include "app/query/QueryHistory.h"
#include "app/query/QueryTemplates.h"
#include "app/query/ResultGrids.h"
#include "app/query/ResultSink.h"
#include "app/SqlQuoting.h"
#include "data/OdbcError.h"
#include "data/OdbcLink.h"
#include "data/Query.h"

namespace vandrel::app {
namespace {

const char* const kProgramName = "Vandrel - zapytanie";
const QString kQueryCaption = QStringLiteral("Zapytanie");
const QString kFileFilter = QStringLiteral("Skrypt SQL (*.sql)|*.sql|Wszystkie pliki (*)|*");

// The text of an error of the library: its driver's message, without the prefixes.
std::string LibraryErrorText(const std::exception& E) {
  if (const auto* odbc = dynamic_cast<const EMException*>(&E)) {
    std::string text;
    for (const EMException* topic = odbc; topic; topic = topic->GetInner()) {
      if (const auto* driver = dynamic_cast<const EMOdbcDriverError*>(topic)) {
        const size_t at = driver->Message.rfind(']');
        text += (text.empty() ? "" : "\r\n") + driver->Message.substr(at == std::string::npos ? 0 : at + 1);
      }
    }
    if (!text.empty()) return text;
  }
  return E.what();
}

bool ConnectionError(const std::exception& E) {
  const auto* odbc = dynamic_cast<const EMOdbcError*>(&E);
  return odbc && odbc->GetSqlState().starts_with("08");
}

QString Elapsed(qint64 Ms) {
  const qint64 s = Ms / 1000;
  return QStringLiteral("%1:%2:%3.%4")
      .arg(s / 3600)
      .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
      .arg(s % 60, 2, 10, QLatin1Char('0'))
      .arg(Ms % 1000 / 100);
}

}  // namespace

TQueryWindow::TQueryWindow(const std::string& ConnectString, const std::string& Server, const std::string& Database,
                           QWidget* Parent)
    : QMainWindow(Parent, Qt::Window),
      FConnectString(WithProgramName(ConnectString, kProgramName)),
      FServer(Server),
      FDatabase(Database.empty() ? "master" : Database),
      FLink(std::make_unique<TMOdbcLink>()),
      FQuery(std::make_unique<TKMQuery>()),
      FWaiter(std::make_unique<TStatementWaiter>(this)) {
  setAttribute(Qt::WA_DeleteOnClose);
  FLink->Name = "QueryLink";
  FLink->SetConnectionTimeout(60);
  FLink->OnGetConnectString = [this](TMOdbcLink*, AnsiString& AConnectString, const AnsiString, const AnsiString,
                                     const AnsiString, TMOdbcConnectOption& AOption, HWND&) {
    AConnectString = FConnectString;
    AOption = mcoNoPrompt;
  };
  // The window offers "Przerwij" itself, and the main window stays usable meanwhile.
  FWaiter->ShowsWindow = false;
  FWaiter->Attach(FLink.get());
  FQuery->SetLink(FLink.get());
  BuildLayout();
  BuildActions();
  FSink = std::make_unique<TResultSink>(*FGrids, *FMessages);
  FSink->OnDatabaseChanged = [this](const std::string& Name) { ChangeDatabase(Name); };
  FRunner = std::make_unique<TBatchRunner>(*FLink, *FSink);
  FScript.Encoding = TScriptEncoding::Utf8;
  UpdateTitle();
  UpdateStatus();
  EnableActions();
  resize(900, 700);
}

TQueryWindow::~TQueryWindow() {
  // The session ends with the window: its queries go before its link.
  FQuery.reset();
  FLink.reset();
}

void TQueryWindow::BuildLayout() {
  auto* splitter = new QSplitter(Qt::Vertical, this);
  auto* top = new QWidget(splitter);
  auto* topLayout = new QVBoxLayout(top);
  topLayout->setContentsMargins(0, 0, 0, 0);
  topLayout->setSpacing(0);
  FEditor = new TQueryEditor(top);
  FFindBar = new TFindBar(FEditor, top);
  topLayout->addWidget(FEditor);
  topLayout->addWidget(FFindBar);
  FGrids = new TResultGrids(splitter);
  auto* messagesBox = new QWidget(splitter);
  auto* messagesLayout = new QVBoxLayout(messagesBox);
  messagesLayout->setContentsMargins(0, 2, 0, 0);
  messagesLayout->setSpacing(2);
  FMessages = new TMessagesPane(messagesBox);
  auto* messagesLabel = new QLabel(QStringLiteral("Komunikaty:"), messagesBox);
  messagesLabel->setBuddy(FMessages);
  messagesLayout->addWidget(messagesLabel);
  messagesLayout->addWidget(FMessages);
  splitter->addWidget(top);
  splitter->addWidget(FGrids);
  splitter->addWidget(messagesBox);
  splitter->setStretchFactor(0, 3);
  splitter->setStretchFactor(1, 4);
  splitter->setStretchFactor(2, 1);
  splitter->setSizes({250, 330, 120});
  setCentralWidget(splitter);
  connect(FMessages, &TMessagesPane::LineChosen, FEditor, &TQueryEditor::GoToLine);
  connect(FEditor, &QPlainTextEdit::cursorPositionChanged, this, &TQueryWindow::UpdateStatus);
  connect(FEditor->document(), &QTextDocument::modificationChanged, this, &TQueryWindow::UpdateTitle);

  FPositionLabel = new QLabel(this);
  FStatusLabel = new QLabel(this);
  statusBar()->addWidget(FStatusLabel, 1);
  statusBar()->addPermanentWidget(FPositionLabel);
}

void TQueryWindow::BuildActions() {
  auto add = [this](QMenu* Menu, const QString& Caption, const QList<QKeySequence>& Keys, auto Handler) {
    auto* action = new QAction(Caption, this);
    action->setObjectName(QString(Caption).remove(QLatin1Char('&')));
    action->setShortcuts(Keys);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, Handler);
    if (Menu) Menu->addAction(action);
    addAction(action);
    return action;
  };
  QMenu* file = menuBar()->addMenu(QStringLiteral("&Plik"));
  add(file, QStringLiteral("&Otwórz..."), {QKeySequence::Open}, [this] { OpenFileAsked(); });
  add(file, QStringLiteral("&Zapisz"), {QKeySequence::Save}, [this] { SaveAsked(false); });
  add(file, QStringLiteral("Zapisz &jako..."), {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)}, [this] { SaveAsked(true); });
  file->addSeparator();
  add(file, QStringLiteral("Zam&knij"), {QKeySequence(Qt::CTRL | Qt::Key_W)}, [this] { close(); });

  QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edycja"));
  add(edit, QStringLiteral("&Cofnij"), {QKeySequence::Undo}, [this] { FEditor->undo(); });
  add(edit, QStringLiteral("&Ponów"), {QKeySequence::Redo}, [this] { FEditor->redo(); });
  edit->addSeparator();
  add(edit, QStringLiteral("&Znajdź..."), {QKeySequence::Find}, [this] { FFindBar->Open(false); });
  add(edit, QStringLiteral("Za&mień..."), {QKeySequence(Qt::CTRL | Qt::Key_H)}, [this] { FFindBar->Open(true); });
  // The editor's own Ctrl+Z and Ctrl+Y stay the editor's: the menu's keys would be ambiguous.
  Action(QStringLiteral("Cofnij"))->setShortcutContext(Qt::WidgetShortcut);
  Action(QStringLiteral("Ponów"))->setShortcutContext(Qt::WidgetShortcut);

  QMenu* query = menuBar()->addMenu(QStringLiteral("&Zapytanie"));
  QAction* run = add(query, QStringLiteral("&Wykonaj"), {QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_E)},
                     [this] { Execute(); });
  QAction* stop = add(query, QStringLiteral("P&rzerwij"), {QKeySequence(Qt::Key_Escape)}, [this] { Stop(); });
  FTemplatesMenu = menuBar()->addMenu(QStringLiteral("&Szablony"));
  for (const TQueryTemplate& t : QueryTemplates()) {
    const QString text = QString::fromUtf8(t.Text);
    FTemplatesMenu->addAction(QString::fromUtf8(t.Caption), this, [this, text] {
      // Put into the editor as one undoable step, to be read and run.
      FEditor->selectAll();
      FEditor->insertPlainText(text);
      FEditor->setFocus();
    });
  }
  FHistoryMenu = menuBar()->addMenu(QStringLiteral("&Historia"));
  connect(FHistoryMenu, &QMenu::aboutToShow, this, &TQueryWindow::FillHistoryMenu);
  FillHistoryMenu();

  QToolBar* bar = addToolBar(QStringLiteral("Zapytanie"));
  bar->setMovable(false);
  bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  bar->addAction(run);
  bar->addAction(stop);
  bar->addSeparator();
  auto* label = new QLabel(QStringLiteral(" &Baza: "), bar);
  FDatabaseBox = new QComboBox(bar);
  FDatabaseBox->setAccessibleName(QStringLiteral("Baza"));
  FDatabaseBox->setMinimumContentsLength(18);
  FDatabaseBox->addItem(QString::fromStdString(FDatabase));
  label->setBuddy(FDatabaseBox);
  bar->addWidget(label);
  bar->addWidget(FDatabaseBox);
  connect(FDatabaseBox, &QComboBox::activated, this, [this](int Index) {
    FDatabase = FDatabaseBox->itemText(Index).toStdString();
    UpdateTitle();
    UpdateStatus();
  });
  run->setToolTip(QStringLiteral("Wykonuje zaznaczony tekst, a bez zaznaczenia cały (F5, Ctrl+E)"));
  stop->setToolTip(QStringLiteral("Przerywa wykonywane polecenie (Esc)"));
}

QAction* TQueryWindow::Action(const QString& Caption) const { return findChild<QAction*>(Caption); }

void TQueryWindow::FillHistoryMenu() {
  FHistoryMenu->clear();
  const std::vector<std::string> queries = ReadQueryHistory(FServer);
  if (queries.empty()) FHistoryMenu->addAction(QStringLiteral("(brak zapytań)"))->setEnabled(false);
  for (const std::string& query : queries) {
    const QString text = QString::fromStdString(query);
    QString caption = text.simplified();
    if (caption.size() > 80) caption = caption.left(77) + QStringLiteral("...");
    QAction* entry = FHistoryMenu->addAction(caption.replace(QLatin1Char('&'), QStringLiteral("&&")), this, [this, text] {
      FEditor->selectAll();
      FEditor->insertPlainText(text);
      FEditor->setFocus();
    });
    entry->setToolTip(text);
  }
}

void TQueryWindow::UpdateTitle() {
  QString title = kQueryCaption + QStringLiteral(" - ") + QString::fromStdString(FServer) + QStringLiteral(" - ") +
                  QString::fromStdString(FDatabase);
  if (!FFilePath.isEmpty()) title += QStringLiteral(" - ") + QFileInfo(FFilePath).fileName();
  if (FEditor && FEditor->document()->isModified()) title += QStringLiteral(" *");
  setWindowTitle(title);
}

void TQueryWindow::UpdateStatus() {
  FPositionLabel->setText(QStringLiteral("Wiersz %1, kolumna %2").arg(FEditor->CursorLine()).arg(FEditor->CursorColumn()));
  QStringList parts;
  parts << QStringLiteral("Wierszy: %1").arg(FLastRows) << QStringLiteral("Czas: %1").arg(Elapsed(FLastMs))
        << QStringLiteral("Serwer: %1").arg(QString::fromStdString(FServer))
        << QStringLiteral("Baza: %1").arg(QString::fromStdString(FDatabase))
        << (FSpid > 0 ? QStringLiteral("SPID: %1").arg(FSpid) : QStringLiteral("Brak połączenia"));
  if (FRunning) parts.prepend(QStringLiteral("Wykonywanie..."));
  if (FTranCount > 0) parts << QStringLiteral("Otwarte transakcje: %1").arg(FTranCount);
  FStatusLabel->setText(parts.join(QStringLiteral("   ")));
}

QString TQueryWindow::StatusText() const { return FStatusLabel->text() + QStringLiteral("   ") + FPositionLabel->text(); }

void TQueryWindow::EnableActions() {
  for (QAction* action : actions()) action->setEnabled(!FRunning);
  if (QAction* stop = Action(QStringLiteral("Przerwij"))) stop->setEnabled(FRunning);
  FDatabaseBox->setEnabled(!FRunning);
  // Their entries put a text into the editor, which holds the running script.
  FTemplatesMenu->setEnabled(!FRunning);
  FHistoryMenu->setEnabled(!FRunning);
  FEditor->setReadOnly(FRunning);
}

bool TQueryWindow::Waiting() const { return FWaiter->Waiting(); }

std::string TQueryWindow::Database() const { return FDatabase; }

bool TQueryWindow::Connect() {
  FSpid = 0;
  FWaiter->BeginConnect();
  try {
    FLink->SetConnected(false);
    FLink->SetConnected(true);
  } catch (const std::exception& e) {
    FWaiter->EndConnect(false);
    UpdateStatus();
    if (dynamic_cast<const EAbort*>(&e)) return false;
    ShowMessage(this, QStringLiteral("Nie udało się połączyć z serwerem %1:\r\n%2")
                          .arg(QString::fromStdString(FServer), QString::fromStdString(LibraryErrorText(e))),
                kQueryCaption, MsgIcon::Error);
    return false;
  }
  FWaiter->EndConnect(FLink->GetConnected());
  FLost = false;
  FTranCount = 0;
  FSpid = std::atoi(Scalar("select @@SPID").c_str());
  ReadDatabases();
  if (!RunOwn("USE " + QuoteIdentifier(FDatabase))) ChangeDatabase(Scalar("select DB_NAME()"));
  UpdateStatus();
  return true;
}

std::string TQueryWindow::Scalar(const std::string& Query) {
  try {
    FQuery->Close();
    FQuery->GetSQL().SetText(Query);
    FQuery->Open();
    const std::string value = FQuery->GetEof() ? std::string() : FQuery->GetFields()->GetFields(0)->GetAsString();
    FQuery->Close();
    return value;
  } catch (const std::exception&) {
    FQuery->Close();
    return {};
  }
}

bool TQueryWindow::RunOwn(const std::string& Statement, bool Quiet) {
  try {
    FLink->ExecSQL(Statement, nullptr);
    return true;
  } catch (const std::exception& e) {
    if (ConnectionError(e) || FWaiter->Dropped()) FLost = true;
    if (!Quiet) FMessages->AddMessage(QString::fromStdString(LibraryErrorText(e)), true);
    return false;
  }
}

void TQueryWindow::ReadDatabases() {
  QStringList names;
  try {
    FQuery->Close();
    FQuery->GetSQL().SetText("select name from master..sysdatabases order by name");
    FQuery->Open();
    for (; !FQuery->GetEof(); FQuery->Next()) names << QString::fromStdString(FQuery->GetFields()->GetFields(0)->GetAsString());
    FQuery->Close();
  } catch (const std::exception&) {
    FQuery->Close();
  }
  const QSignalBlocker quiet(FDatabaseBox);
  FDatabaseBox->clear();
  FDatabaseBox->addItems(names);
  ChangeDatabase(FDatabase);
}

void TQueryWindow::ChangeDatabase(const std::string& Database) {
  if (Database.empty()) return;
  FDatabase = Database;
  const QString name = QString::fromStdString(Database);
  const QSignalBlocker quiet(FDatabaseBox);
  int index = FDatabaseBox->findText(name, Qt::MatchFixedString);
  if (index < 0) {
    FDatabaseBox->addItem(name);
    index = FDatabaseBox->count() - 1;
  }
  FDatabaseBox->setCurrentIndex(index);
  UpdateTitle();
  UpdateStatus();
}

void TQueryWindow::Execute() {
  if (FRunning) return;
  int firstLine = 0;
  const std::string script = FEditor->TextToRun(firstLine).toStdString();
  const std::vector<TBatch> batches = SplitBatches(script);
  if (batches.empty()) return;
  FMessages->clear();
  FGrids->Clear();
  // A connection lost, or never made, is made again now.
  if ((FLost || !FLink->GetConnected()) && !Connect()) return;
  RememberQuery(FServer, script);
  FRunning = true;
  FRunner->Reset();
  FSink->Begin();
  EnableActions();
  UpdateStatus();
  QElapsedTimer clock;
  clock.start();
  emit RunStarted();
  TBatchEnd end = TBatchEnd::Done;
  // The database chosen in "Baza:" is the one the script starts in.
  if (!RunOwn("USE " + QuoteIdentifier(FDatabase))) end = FLost ? TBatchEnd::ConnectionLost : TBatchEnd::Done;
  for (const TBatch& batch : batches) {
    if (end != TBatchEnd::Done) break;
    FSink->SetBatchLine(firstLine + batch.FirstLine);
    for (int i = 0; i < batch.Repeat && end == TBatchEnd::Done; ++i) {
      try {
        end = FRunner->Run(batch.Text);
      } catch (const std::exception& e) {
        FMessages->AddMessage(QString::fromStdString(LibraryErrorText(e)), true);
        end = ConnectionError(e) ? TBatchEnd::ConnectionLost : TBatchEnd::Done;
      }
      if (FWaiter->Dropped()) end = TBatchEnd::ConnectionLost;
    }
  }
  FLastMs = clock.elapsed();
  FLastRows = FSink->Rows();
  if (end == TBatchEnd::Stopped) FMessages->AddMessage(QStringLiteral("Zapytanie przerwane przez użytkownika."));
  if (end == TBatchEnd::ConnectionLost) FLost = true;
  if (!FLost) {
    const std::string count = Scalar("select @@TRANCOUNT");
    FTranCount = std::atoi(count.c_str());
  }
  FRunning = false;
  EnableActions();
  UpdateStatus();
  FEditor->setFocus();
  emit RunEnded();
  if (FLost) ShowConnectionLost(FWaiter->Dropped() ? "Serwer nie odpowiedział na przerwanie polecenia; nie wiadomo, co "
                                                     "zrobił z poleceniem."
                                                   : std::string());
  if (FCloseAfterRun) {
    FCloseAfterRun = false;
    close();
  }
}

void TQueryWindow::Stop() {
  if (!FRunning) return;
  FRunner->Stop();
  FWaiter->RequestStop();
}

void TQueryWindow::ShowConnectionLost(const std::string& Detail) {
  FSpid = 0;
  FTranCount = 0;
  UpdateStatus();
  const std::string text = "Utracono połączenie z serwerem " + FServer + "." + (Detail.empty() ? "" : "\r\n" + Detail) +
                           "\r\n\r\nSprawdź, czy serwer działa, i wybierz „Wykonaj” (F5), aby połączyć się ponownie.";
  ShowMessage(this, QString::fromStdString(text), QStringLiteral("Utracono połączenie"), MsgIcon::Error);
}

bool TQueryWindow::EndOpenTransaction() {
  if (FTranCount <= 0 || FLost || !FLink->GetConnected()) return true;
  QMessageBox box(QMessageBox::Question, kQueryCaption, QStringLiteral("Zatwierdzić otwartą transakcję?"), QMessageBox::NoButton,
                  this);
  QPushButton* commit = box.addButton(QStringLiteral("Zatwierdź"), QMessageBox::AcceptRole);
  QPushButton* rollback = box.addButton(QStringLiteral("Wycofaj"), QMessageBox::DestructiveRole);
  QPushButton* cancel = box.addButton(QStringLiteral("Anuluj"), QMessageBox::RejectRole);
  box.setDefaultButton(cancel);
  box.setEscapeButton(cancel);
  DialogSeam::Current().ExecDialog(&box);
  if (box.clickedButton() != commit && box.clickedButton() != rollback) return false;
  // Every level of the transaction ends: COMMIT takes one off, ROLLBACK all of them.
  const bool done = box.clickedButton() == commit ? RunOwn("WHILE @@TRANCOUNT > 0 COMMIT TRAN")
                                                  : RunOwn("IF @@TRANCOUNT > 0 ROLLBACK TRAN");
  if (!done) return false;
  FTranCount = 0;
  return true;
}

bool TQueryWindow::MayDropText() {
  if (!FEditor->document()->isModified() || FEditor->document()->isEmpty()) return true;
  const int answer = ShowMessage(this, QStringLiteral("Tekst zapytania został zmieniony. Zapisać zmiany?"), kQueryCaption,
                                 MsgIcon::Question, mbYes | mbNo | mbCancel);
  if (answer == mbYes) return SaveAsked(false);
  return answer == mbNo;
}

void TQueryWindow::closeEvent(QCloseEvent* Event) {
  if (FRunning) {
    // The batch is stopped first; the window closes when it has ended.
    FCloseAfterRun = true;
    Stop();
    Event->ignore();
    return;
  }
  const bool closed = EndOpenTransaction() && MayDropText();
  Event->setAccepted(closed);
  emit CloseDecided(closed);
}

void TQueryWindow::OpenFileAsked() {
  if (!MayDropText()) return;
  const QString path = DialogSeam::Current().OpenFileName(this, QStringLiteral("Otwórz skrypt"),
                                                         FFilePath.isEmpty() ? QDir::homePath() : QFileInfo(FFilePath).path(),
                                                         kFileFilter);
  if (!path.isEmpty()) OpenFile(path);
}

bool TQueryWindow::OpenFile(const QString& Path) {
  QFile file(Path);
  if (!file.open(QIODevice::ReadOnly)) {
    ShowMessage(this, QStringLiteral("Nie udało się otworzyć pliku %1:\r\n%2").arg(Path, file.errorString()), kQueryCaption,
                MsgIcon::Error);
    return false;
  }
  const QByteArray bytes = file.readAll();
  FScript = DecodeScript(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
  FEditor->setPlainText(QString::fromStdString(FScript.Text));
  FEditor->document()->setModified(false);
  FFilePath = Path;
  UpdateTitle();
  return true;
}

bool TQueryWindow::SaveAsked(bool AskName) {
  QString path = FFilePath;
  if (AskName || path.isEmpty()) {
    path = DialogSeam::Current().SaveFileName(this, QStringLiteral("Zapisz skrypt"),
                                              FFilePath.isEmpty() ? QDir::homePath() : FFilePath, kFileFilter);
    if (path.isEmpty()) return false;
  }
  return SaveFile(path);
}

bool TQueryWindow::SaveFile(const QString& Path) {
  TScriptText script = FScript;
  script.Text = FEditor->toPlainText().toStdString();
  const std::string bytes = EncodeScript(script);
  // Written whole or not at all: the file is replaced only by the complete text.
  QSaveFile out(Path);
  if (!out.open(QIODevice::WriteOnly) || out.write(bytes.data(), static_cast<qint64>(bytes.size())) < 0 || !out.commit()) {
    ShowMessage(this, QStringLiteral("Nie udało się zapisać pliku %1:\r\n%2").arg(Path, out.errorString()), kQueryCaption,
                MsgIcon::Error);
    return false;
  }
  FFilePath = Path;
  FEditor->document()->setModified(false);
  UpdateTitle();
  return true;
}

}  // namespace vandrel::app
