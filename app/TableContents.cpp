#include "app/TableContents.h"

#include <QApplication>
#include <QCursor>
#include <algorithm>

#include "app/ListView.h"
#include "app/NumberColumns.h"
#include "app/WaitWindow.h"
#include "foundation/Trim.h"

namespace vandrel::app {
namespace {

// How long the rows are fetched before the window gets a turn: short enough for it to
// paint smoothly, and at least this many times as long as the last turn took, so that
// painting (slow on a loaded machine or a large window: a turn takes 5.5 ms of processor
// time drawn without a graphics card, about 40 turns a read of 10^6 rows at one in twenty)
// takes at most a fortieth of the read; the window still paints four times a second then.
constexpr qint64 kSliceMs = 40;
constexpr qint64 kSlicePerTurn = 39;
// The longest slice, whatever a turn cost: the waiting window paints and answers "Przerwij"
// at least four times a second.
constexpr qint64 kLongestSliceMs = 250;

bool reading = false;

bool IsNumericType(TMFieldType Type) { return Type == mftInteger || Type == mftFloat || Type == mftExtended; }

}  // namespace

bool TTableContents::Reading() { return reading; }

TTableContents::TTableContents(TKMQuery& Query, TListView& List, QWidget* Owner)
    : FQuery(Query), FList(List), FOwner(Owner) {}

TTableContents::~TTableContents() { HideWindow(); }

int TTableContents::Rows() const { return FList.RowCount(); }

void TTableContents::Read(const std::string& What) {
  FWhat = What;
  FStopped = false;
  FClock.start();
  struct ReadingNow {
    ReadingNow() { reading = true; }
    ~ReadingNow() { reading = false; }
  } now;

  TMFields* fields = FQuery.GetFields();
  const int columns = FQuery.GetFieldCount();
  std::vector<TMField*> cells;
  std::vector<int> scales;  // -1: the field's own text
  std::vector<TListColumn> layout;
  for (int c = 0; c < columns; ++c) {
    TMField* field = fields->GetFields(c);
    cells.push_back(field);
    scales.push_back(DeclaredScale(FQuery, c));
    TListColumn column;
    column.Caption = QString::fromStdString(field->GetFieldName());
    column.Numeric = IsNumericType(field->GetDataType());
    if (column.Numeric) column.Alignment = Qt::AlignRight | Qt::AlignVCenter;
    layout.push_back(column);
  }

  TListModel* model = FList.Model();
  model->BeginStream(std::move(layout));
  try {
    // The first turn comes with the first row, so the list shows rows at once.
    qint64 nextTurn = 0;
    // The clock is read every sixteenth row, the first one included: reading it took a tenth
    // of what the list adds to the read.
    unsigned rows = 0;
    for (; !FQuery.GetEof(); FQuery.Next()) {
      for (size_t c = 0; c < cells.size(); ++c)
        model->AppendCell(static_cast<int>(c),
                          scales[c] < 0 ? Trim(cells[c]->GetEditText()) : ScaledText(*cells[c], scales[c]));
      if (rows++ % 16 != 0) continue;
      const qint64 now = FClock.elapsed();
      if (now < nextTurn) continue;
      const bool showed = Turn();
      if (FStopped) break;
      const qint64 after = FClock.elapsed();
      // Making and first painting the waiting window is paid once, not by every turn: it
      // does not lengthen the slice after it (it took 30 ms and more, and put the next turn,
      // the first that could answer "Przerwij", seconds away).
      const qint64 cost = showed ? 0 : after - now;
      nextTurn = after + std::clamp(kSlicePerTurn * cost, kSliceMs, kLongestSliceMs);
    }
  } catch (...) {
    // "Przerwij" of a fetch that waited for the server ends the read as the reader's own
    // does: what was read stays.
    if (FetchCancelled && FetchCancelled()) {
      FStopped = true;
    } else {
      HideWindow();
      model->EndFill(false);  // the rows of a fetch that failed go; the columns stay
      throw;
    }
  }
  HideWindow();
  model->EndFill();
  FList.FitColumnsToSample();
}

bool TTableContents::Turn() {
  FList.Model()->ShowAppended();
  const bool show = !FWindow && FClock.elapsed() >= ShowAfter;
  if (show) ShowWindow();
  if (FWindow) FWindow->SetElapsed(static_cast<int>(FClock.elapsed() / 1000));
  // Until the waiting window shows, the user's input waits, so no command starts; then the
  // window, modal, takes it.
  QCoreApplication::processEvents(FWindow ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
  return show;
}

void TTableContents::ShowWindow() {
  QWidget* parent = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : FOwner;
  FWindow = new TWaitWindow(parent);
  QObject::connect(FWindow, &TWaitWindow::StopRequested, FWindow, [this] { FStopped = true; });
  FWindow->SetWhat(QString::fromStdString(FWhat));
  // The reading's wait cursor is not the window's: its button is meant to be clicked.
  QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
  FWindow->show();
}

void TTableContents::HideWindow() {
  CloseWaitWindow(FWindow);
}

}  // namespace vandrel::app
