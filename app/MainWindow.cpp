#include "app/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

#include "app/Images.h"
#include "app/admin/ActivityView.h"
#include "app/NodeKinds.h"
#include "app/query/NewQuery.h"

namespace vandrel::app {

TForm1* Form1 = nullptr;

namespace {

constexpr int kImageRole = Qt::UserRole + 1;
constexpr int kSelectedImageRole = Qt::UserRole + 2;
constexpr int kDatabaseRole = Qt::UserRole + 3;
constexpr int kOwnerRole = Qt::UserRole + 4;
constexpr int kTableRole = Qt::UserRole + 5;
constexpr int kNameRole = Qt::UserRole + 6;
constexpr int kKindRole = Qt::UserRole + 7;

std::string Role(const QTreeWidgetItem* Node, int Role) { return Node->data(0, Role).toString().toStdString(); }

QFont SansSerif(int PixelHeight) {
  QFont font("MS Sans Serif");
  font.setPixelSize(PixelHeight);
  return font;
}

}  // namespace

TForm1::TForm1(QWidget* Parent) : QMainWindow(Parent) {
  setObjectName("Form1");
  setWindowTitle(QStringLiteral("Vandrel  MSDE 2000 / 2005 Express - Quorvel sp. z o.o."));
  setGeometry(376, 218, 640, 391);
  setFont(SansSerif(11));
  CreateComponents();
  CreateMenus();
  CreateToolBar();
  CreateStatusBar();
}

TForm1::~TForm1() {
  // The status bar follows the tree and the list; their clean-up must not reach a window
  // that is going.
  TreeView1->model()->disconnect(this);
  ListView1->Model()->disconnect(this);
  KMQuery1.reset();  // the query leaves its link before the link goes
  MOdbcLink1.reset();
  if (Form1 == this) Form1 = nullptr;
}

void TForm1::CreateComponents() {
  Splitter1 = new QSplitter(Qt::Horizontal, this);
  Splitter1->setObjectName("Splitter1");
  Splitter1->setHandleWidth(3);
  setCentralWidget(Splitter1);

  TreeView1 = new QTreeWidget(Splitter1);
  TreeView1->setObjectName("TreeView1");
  TreeView1->setHeaderHidden(true);
  TreeView1->setIndentation(20);
  TreeView1->setFont(SansSerif(13));
  TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
  TreeView1->installEventFilter(this);

  ListView1 = new TListView(Splitter1);
  ListView1->setObjectName("ListView1");
  ListView1->setFont(SansSerif(13));
  ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
  ListView1->installEventFilter(this);

  Splitter1->addWidget(TreeView1);
  Splitter1->addWidget(ListView1->PanelWithFilter());
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes({256, 384});
  setTabOrder(TreeView1, ListView1);

  connect(TreeView1, &QTreeWidget::currentItemChanged, this, [this] { TreeView1Change(); });
  connect(TreeView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    if (QTreeWidgetItem* node = TreeView1->itemAt(at)) TreeView1->setCurrentItem(node);
    TreeView1ContextPopup();
    PopupMenu1->popup(TreeView1->viewport()->mapToGlobal(at));
  });
  connect(ListView1, &TListView::RowSelected, this, [this] { ListView1SelectItem(); });
  connect(ListView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    PreparePopupMenu2();
    if (ListView1->ColumnCount() > 0) PopupMenu2->popup(ListView1->viewport()->mapToGlobal(at));
  });

  MOdbcLink1 = std::make_unique<TMOdbcLink>();
  MOdbcLink1->Name = "MOdbcLink1";
  MOdbcLink1->SetConnectionTimeout(60);
  MOdbcLink1->SetQueryTimeout(80);
  MOdbcLink1->OnGetConnectString = [this](TMOdbcLink*, AnsiString& AConnectString, const AnsiString,
                                          const AnsiString, const AnsiString,
                                          TMOdbcConnectOption& AOption, HWND& APromptDlgParent) {
    MOdbcLink1GetConnectString(AConnectString, AOption);
    APromptDlgParent = reinterpret_cast<HWND>(winId());
  };
  MOdbcLink1->OnQuery = [this](TMCustomDBLink*, AnsiString& Text, TMParams* Params,
                               TMQueryContext QueryContext, const Exception* E) {
    MOdbcLink1Query(Text, Params, QueryContext, E);
  };
  Waiter.Attach(MOdbcLink1.get());
  // A one-shot statement waits for the server no longer than a query does.
  Waiter.CallTimeout = MOdbcLink1->GetQueryTimeout();
  // A stop where the command does not read back what the server did ends the command.
  connect(&Waiter, &TStatementWaiter::StopRequested, this, [this] {
    if (FCommandDepth > 0 && CommandReportsStop == 0) FCommandStopped = true;
  });
  connect(&Waiter, &TStatementWaiter::ConnectionDropped, this, [this] {
    FLinkLost = true;
    if (FCommandDepth > 0) FCommandLost = true;
  });
  KMQuery1 = std::make_unique<TKMQuery>();
  KMQuery1->SetLink(MOdbcLink1.get());
}

QList<QAction*> TForm1::Commands(TCommandId Id) const {
  QList<QAction*> found;
  auto [from, to] = FCommands.equal_range(Id);
  for (auto it = from; it != to; ++it) found.append(it->second);
  return found;
}

void TForm1::SetCommandEnabled(TCommandId Id, bool Enabled) {
  for (QAction* action : Commands(Id)) action->setEnabled(Enabled);
}

bool TForm1::CommandEnabled(TCommandId Id) const {
  const QList<QAction*> actions = Commands(Id);
  return !actions.isEmpty() && actions.first()->isEnabled();
}

bool TForm1::CommandChecked(TCommandId Id) const {
  const QList<QAction*> actions = Commands(Id);
  return !actions.isEmpty() && actions.first()->isChecked();
}

void TForm1::showEvent(QShowEvent* Event) {
  QMainWindow::showEvent(Event);
  if (FShown) return;
  FShown = true;
  // The first show asks for the connection in a modal dialog: it runs once the window is
  // on screen, not inside the show event.
  QTimer::singleShot(0, this, [this] { FormShow(); });
}

void TForm1::closeEvent(QCloseEvent* Event) {
  if (!CloseQueryWindows(this)) {
    Event->ignore();
    return;
  }
  QMainWindow::closeEvent(Event);
  // The message loop ends with this window, whatever other window is still open.
  QCoreApplication::quit();
}

void TForm1::resizeEvent(QResizeEvent* Event) {
  QMainWindow::resizeEvent(Event);
  FormResize();
}

void TForm1::FormResize() {
  if (isMaximized() || isFullScreen()) return;
  const int w = std::max(width(), 500), h = std::max(height(), 170);
  if (w != width() || h != height()) resize(w, h);
}

bool TForm1::eventFilter(QObject* Watched, QEvent* Event) {
  if (Event->type() == QEvent::KeyPress) FormKeyDown(static_cast<QKeyEvent*>(Event)->key());
  return QMainWindow::eventFilter(Watched, Event);
}

void TForm1::FormKeyDown(int Key) {
  if (Key != Qt::Key_F5) return;
  TCommandRun run(*this);
  if (ListShowsColumn(QStringLiteral("SPID"))) {
    for (QAction* a : Commands(TCommandId::cmProcesses)) {
      a->trigger();
      break;
    }
  } else {
    RefreshTree();
  }
}

void TForm1::TreeView1Change() {
  if (!TreeReady) return;
  TCommandRun run(*this);
  ShowNodeDetails();
}

void TForm1::TreeView1ContextPopup() {
  if (QTreeWidgetItem* node = TreeView1->currentItem()) TreeView1->setCurrentItem(node);
}

// A row of the list names no database of its own: the commands follow the tree's selection.
void TForm1::ListView1SelectItem() { EnableCommandsForSelection(); }

void TForm1::ListView1ContextPopup() {
  // "Zabij proces" is offered only on a selected process; the process list attaches the menu
  // again each time it is filled.
  if (SelectedListCaptionUnder(QStringLiteral("SPID")).isEmpty())
    ListView1->setProperty("popup", false);
}

void TForm1::PreparePopupMenu2() {
  ListView1ContextPopup();
  // "Zabij proces" on a process of the process list only; copying on selected rows; saving
  // on any list.
  for (TCommandId id : {TCommandId::cmKillProcess, TCommandId::cmSessionLastBatch, TCommandId::cmSessionLocks})
    for (QAction* a : Commands(id)) a->setVisible(ListView1->property("popup").toBool());
  ApplyCommandRules();
}

void TForm1::Narzdzia1Click() { EnableCommandsForSelection(); }

void TForm1::ApplyCommandRules() {
  TEnablingState state;
  state.Selected = SelectedIdentity();
  state.InDatabase = !SelectedDatabase().empty();
  state.Held = FCommandsHeld;
  state.Connected = MOdbcLink1->GetConnected();
  state.Sysadmin = Rights.Sysadmin;
  state.Dbcreator = Rights.Dbcreator;
  state.Processadmin = Rights.Processadmin;
  state.DbOwner = Rights.MayOwn(SelectedDatabase());
  state.SelectedRows = !ListView1->SelectedRows().empty();
  state.ListRows = ListView1->RowCount() > 0;
  state.KillableSessions = admin::SelectionHasKillableSession(*ListView1);
  state.SelectedSession = admin::SelectionHasSession(*ListView1);
  for (const TCommand& command : CommandTable()) {
    if (command.Rule.Always()) continue;
    SetCommandEnabled(command.Id, RuleHolds(command.Rule, state));
    // A command held back for the login's rights says which it needs.
    const QString why = QString::fromStdString(RuleRefusal(command.Rule, state));
    for (QAction* a : Commands(command.Id)) a->setToolTip(why);
  }
  update();
}

void TForm1::EnableCommandsForSelection() {
  FCommandsHeld = false;
  ApplyCommandRules();
}

void TForm1::DisableDatabaseCommands() {
  FCommandsHeld = true;
  ApplyCommandRules();
}

bool TForm1::ListShowsColumn(const QString& Caption) const {
  return ListView1->ColumnCount() > 0 && ListView1->Caption(0) == Caption;
}

QString TForm1::SelectedListCaptionUnder(const QString& Caption) const {
  const int row = ListView1->SelectedRow();
  if (row < 0 || !ListShowsColumn(Caption)) return {};
  return ListView1->Text(row, 0);
}

QString TForm1::SelectedListText(int Column) const {
  const int row = ListView1->SelectedRow();
  return row < 0 ? QString() : ListView1->Text(row, Column);
}

void TForm1::ShowQueryInList(const std::string& Query, const std::string& Database) {
  QueryToListView(Query, ListView1, Database);
}

int TForm1::NodeImage(const QTreeWidgetItem* Node) {
  return Node ? Node->data(0, kImageRole).toInt() : 0;
}

int TForm1::NodeSelectedImage(const QTreeWidgetItem* Node) {
  return Node ? Node->data(0, kSelectedImageRole).toInt() : 0;
}

void TForm1::SetNodeImages(QTreeWidgetItem* Node, int Image, int SelectedImage) {
  Node->setData(0, kImageRole, Image);
  Node->setData(0, kSelectedImageRole, SelectedImage);
  Node->setIcon(0, TreeImage(Image));
}

TNodeIdentity TForm1::NodeIdentity(const QTreeWidgetItem* Node) {
  TNodeIdentity id;
  if (!Node) return id;
  id.Kind = Node->data(0, kKindRole).toInt();
  id.Database = Role(Node, kDatabaseRole);
  id.Owner = Role(Node, kOwnerRole);
  id.Table = Role(Node, kTableRole);
  id.Name = Role(Node, kNameRole);
  return id;
}

QTreeWidgetItem* TForm1::AddNode(QTreeWidgetItem* Parent, const std::string& Text, int Image,
                                 int SelectedImage, const TNodeIdentity& Data) {
  auto* node = Parent ? new QTreeWidgetItem(Parent) : new QTreeWidgetItem(TreeView1);
  node->setText(0, QString::fromStdString(Text));
  SetNodeImages(node, Image, SelectedImage);
  // What the node is stays with it whatever picture it shows (a lost server's, say).
  node->setData(0, kKindRole, Data.Kind != nkNone ? Data.Kind : SelectedImage);
  node->setData(0, kDatabaseRole, QString::fromStdString(Data.Database));
  node->setData(0, kOwnerRole, QString::fromStdString(Data.Owner));
  node->setData(0, kTableRole, QString::fromStdString(Data.Table));
  node->setData(0, kNameRole, QString::fromStdString(Data.Name));
  return node;
}

}  // namespace vandrel::app
