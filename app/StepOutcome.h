#pragma once
// What became of a statement that a query step ran: the caller of a step decides from it
// whether to go on, and whether its own success message may be shown.
namespace vandrel::app {

enum class TStepOutcome {
  soDone,     // the server carried it out
  soFailed,   // it failed; the error report has shown why
  soStopped,  // the user stopped it with "Przerwij" (the server may have done it all the same)
};

}  // namespace vandrel::app
