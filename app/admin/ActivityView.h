#pragma once
// The activity view: the process list with who blocks whom, what each session waits for and
// how much it worked, refreshed in place on request or every few seconds ("Odświeżaj co"),
// keeping the user's selection, scroll position, column widths and filter.
#include <QWidget>
#include <map>
#include <string>
#include <vector>

#include "app/CommandContext.h"
#include "app/admin/Activity.h"

class QComboBox;
class QTimer;

namespace vandrel::app {
class TListView;
}

namespace vandrel::app::admin {

// The bar above the list while it shows the server's sessions: the refresh chooser, and the
// sessions last shown, which the list's commands look up by their number.
class TActivityBar : public QWidget {
  Q_OBJECT
 public:
  TActivityBar(TCommandContext& Context, TListView& List);

  QComboBox* Interval = nullptr;  // "wyłączone", "5 s", "10 s", "30 s"
  QTimer* Timer = nullptr;

  // The session shown under Spid, or null.
  const TSession* Session(const std::string& Spid) const;
  // The sessions of the selected rows, in the order shown.
  std::vector<TSession> SelectedSessions() const;
  // Reads the sessions and shows them; with KeepPlace the selection, scroll position, column
  // widths and filter stay as the user left them. False when the list could not be read.
  bool Fill(bool KeepPlace);
  // One turn of the automatic refresh: skipped while the user answers a question, a pop-up
  // menu is open or a statement runs.
  void Tick();
  // The chooser's interval set on the timer (off while the list shows something else).
  void FollowInterval();
  // Whether the server that gave the sessions last is SQL Server 2005 (else 2000).
  bool Is2005() const { return FIs2005; }

 private:
  bool ShowsSessions() const;
  TCommandContext& FContext;
  TListView& FList;
  std::map<int, TSession> FSessions;
  bool FIs2005 = false;
};

// Whether a session shown still is that session: the same number with the same login time and
// program (a number is given again to the next session that connects), read right before a
// command acts on it.
enum class TSessionNow { snSame, snGone, snUnknown };
TSessionNow SessionNow(TCommandContext& Context, const TSession& S);

// The list's bar, made the first time it is needed.
TActivityBar& ActivityBarOf(TCommandContext& Context, TListView& List);
// Whether the selected rows of the process list hold a session the user may end (the kill
// command's enabling), or any session (the commands that look at one).
bool SelectionHasKillableSession(const TListView& List);
bool SelectionHasSession(const TListView& List);

}  // namespace vandrel::app::admin
