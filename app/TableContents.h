#pragma once
// The rows of an open query read into the detail list as they arrive, at any size. The rows
// are fetched on the GUI thread in slices; between slices the rows read so far go into the
// list in one insertion and the window handles its events, so it keeps painting. A read
// that lasts longer than a moment shows the waiting window, whose "Przerwij" ends the read:
// what was read stays in the list.
//
// A fetch that waits for the server's rows waits through the link's OnStatementWait, whose
// waiting window's "Przerwij" ends the read the same way. While a read runs no other
// statement may start (Reading()).
#include <QElapsedTimer>
#include <QPointer>
#include <functional>
#include <string>

#include "data/Query.h"

class QWidget;

namespace vandrel::app {

class TListView;
class TWaitWindow;

class TTableContents {
 public:
  // Query: open, with columns. Owner: the window the waiting window belongs to.
  TTableContents(TKMQuery& Query, TListView& List, QWidget* Owner);
  ~TTableContents();
  TTableContents(const TTableContents&) = delete;
  TTableContents& operator=(const TTableContents&) = delete;

  // Reads every row of the query into the list, which shows one column per result column.
  // What names the read in the waiting window. An exception of a fetch leaves the columns
  // without rows and goes on to the caller, unless FetchCancelled tells it was "Przerwij".
  void Read(const std::string& What);

  // The user ended the read with "Przerwij".
  bool Stopped() const { return FStopped; }
  // The rows the list received.
  int Rows() const;

  // How long a read runs before the waiting window shows, in milliseconds.
  int ShowAfter = 400;
  // Whether the fetch that just failed was ended by the statement waiter's "Przerwij".
  std::function<bool()> FetchCancelled;

  // A read is running (on the GUI thread): another statement must not start on the link.
  static bool Reading();

 private:
  // One turn between slices: the rows read so far go into the list, the waiting window
  // shows or counts its seconds, and the window handles its pending events. True when the
  // waiting window showed in it.
  bool Turn();
  void ShowWindow();
  void HideWindow();

  TKMQuery& FQuery;
  TListView& FList;
  QWidget* FOwner;
  std::string FWhat;
  QPointer<TWaitWindow> FWindow;
  bool FStopped = false;
  QElapsedTimer FClock;  // since the read began
};

}  // namespace vandrel::app
