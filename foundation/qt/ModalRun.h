#pragma once
// Every modal window of the error dialog runs through one runner, so that a host routes it
// through its own handling of modal windows (and its tests answer it). Without a runner the
// window runs its own modal loop.
#include <functional>

class QDialog;

namespace vandrel {

// Runs Dialog modally; returns QDialog::Accepted or QDialog::Rejected.
using TMModalRunner = std::function<int(QDialog* Dialog)>;

// An empty runner restores the dialog's own modal loop.
void SetModalRunner(TMModalRunner Runner);
int RunModal(QDialog* Dialog);

}  // namespace vandrel
