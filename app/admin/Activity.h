#pragma once
// What the activity view knows of each server session, read from sysprocesses: who it is,
// whom it waits for, and the order the view shows them in, the heads of blocking chains first,
// each followed by the sessions waiting behind it.
#include <string>
#include <vector>

namespace vandrel::app::admin {

struct TSession {
  int Spid = 0;
  // The texts of the list's first columns, as the server gave them (blanks at the end cut).
  std::vector<std::string> Texts;
  std::string LoginTime, Program;
  int BlockedBy = 0;  // 0: waits for no other session
  std::string WaitType;  // the wait's kind ("LCK_M_S"); empty when the session does not wait
  long long WaitMs = 0;
  std::string OpenTransactions, Cpu, Io;
  bool Own = false;     // one of this program's connections
  bool System = false;  // one of the server's own sessions
  // Filled by ActivityOrder: the sessions waiting behind it, directly or not (a chain's head
  // only), and the head of the chain the session waits in (0: in none).
  int Blocks = 0;
  int ChainHead = 0;
  int Depth = 0;  // 0 for a head and any session outside chains, 1 behind a head, ...

  // Whether the user may be offered to end it.
  bool Killable() const { return !Own && !System; }
};

// The sessions in the order the view shows them: each head of a chain (a session that blocks
// others and waits for none) with its chain behind it, larger chains first, then the others
// as they came. Sessions waiting in a circle without a head (a deadlock the server has yet to
// break) stay among the others. Fills Blocks, ChainHead and Depth.
std::vector<TSession> ActivityOrder(std::vector<TSession> Sessions);

// The view's note on a session: "blokuje 3", "w łańcuchu 53", "(ten program)", "(systemowy)".
std::string SessionNote(const TSession& Session);
// "Czeka": the wait's kind and its seconds, empty when the session does not wait.
std::string WaitText(const TSession& Session);

// A cell of the server's session and lock lists without the blanks (and zeros) that pad it.
std::string TrimmedRight(std::string Text);

}  // namespace vandrel::app::admin
