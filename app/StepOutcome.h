#pragma once
// What became of a statement that a query step ran: the caller of a step decides from it
// whether to go on, and whether its own success message may be shown.
#include <string>

namespace vandrel::app {

enum class TStepOutcome {
  soDone,     // the server carried it out
  soFailed,   // it failed; the error report has shown why
  soStopped,  // the user stopped it with "Przerwij" (the server may have done it all the same)
};

// A query step's one value and what became of its query: "no row" (soDone, empty) and
// "failed" are told apart.
struct TStepValue {
  TStepOutcome Outcome = TStepOutcome::soFailed;
  std::string Value;  // column 0 of the first row; empty without one, or unless done
  bool Done() const { return Outcome == TStepOutcome::soDone; }
};

}  // namespace vandrel::app
