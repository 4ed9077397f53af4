// The local file chooser is Qt's: each caption with its patterns, so that every choice of its
// list filters by its own patterns and "Wszystkie pliki" shows every file.
#include <gtest/gtest.h>

#include "app/DialogSeam.h"

using namespace vandrel::app;

TEST(FileFilters, TheToolsFormBecomesQtsForm) {
  EXPECT_EQ(QtFileFilter("Kopia zapasowa bazy (*.bak)|*.bak|Wszystkie pliki (*.*)|*.*"),
            "Kopia zapasowa bazy (*.bak);;Wszystkie pliki (*.*)");
  EXPECT_EQ(QtFileFilter("Pliki bazy|*.mdf;*.ldf"), "Pliki bazy (*.mdf *.ldf)");
}
