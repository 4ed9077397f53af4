#include "foundation/qt/ModalRun.h"

#include <QDialog>

namespace vandrel {

namespace {

// Local, so that a host may set it from its own static initialisation.
TMModalRunner& Runner() {
  static TMModalRunner Installed;
  return Installed;
}

}  // namespace

void SetModalRunner(TMModalRunner Value) { Runner() = std::move(Value); }

int RunModal(QDialog* Dialog) { return Runner() ? Runner()(Dialog) : Dialog->exec(); }

}  // namespace vandrel
