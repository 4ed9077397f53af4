// The resource meter with memory figures given by the test, opened from its menu command.
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "app/admin/ResourceMeter.h"
#include "app/tests/SimFixture.h"

namespace vandrel::app::testing {
namespace {

using admin::TMiernik;
constexpr std::uint64_t MB = 1048576;

QStringList Texts(const TMiernik& Meter) {
  QStringList texts;
  for (QLabel* label : Meter.Values) texts << label->text();
  return texts;
}

class ResourceMeterTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { TestApplication(); }
  ScriptedDialogs Dialogs;
  platform::TMemoryStatus Status;
  int Reads = 0;
  void Script(TMiernik& Meter) {
    Meter.ReadMemoryStatus = [this](platform::TMemoryStatus& S) {
      ++Reads;
      S = Status;
    };
  }
};

TEST_F(ResourceMeterTest, FiguresInWholeMegabytesTimerWhileOpen) {
  TForm1 form;
  Status.TotalPhys = 1024 * MB;
  Status.AvailPhys = 300 * MB + MB / 2;  // the halves of megabytes are cut off before subtracting
  Status.TotalPageFile = 2048 * MB - 1;
  Status.AvailPageFile = 1500 * MB;
  Status.TotalVirtual = std::uint64_t(1) << 47;
  Status.AvailVirtual = (std::uint64_t(1) << 47) - 200 * MB;
  bool ranWhileOpen = false;
  Dialogs.DialogAnswers.push_back([&](QDialog* d) {
    auto* meter = static_cast<TMiernik*>(d);
    Script(*meter);
    EXPECT_FALSE(meter->Timer1->isActive()) << "disabled until shown";
    meter->show();
    EXPECT_EQ(Texts(*meter), QStringList({"1024 MB", "724 MB", "300 MB", "2047 MB", "547 MB", "1500 MB",
                                          "134217728 MB", "200 MB", "134217528 MB"}));
    EXPECT_EQ(Reads, 2) << "read twice, the second reading shown";
    EXPECT_TRUE(meter->Timer1->isActive());
    EXPECT_EQ(meter->Timer1->interval(), 1000);

    // Less than 1 MB of page file left: its two rows keep their texts; the rest follow.
    Status.AvailPageFile = MB - 1;
    Status.AvailPhys = 100 * MB;
    QMetaObject::invokeMethod(meter->Timer1, "timeout", Qt::DirectConnection);
    const QStringList after = Texts(*meter);
    EXPECT_EQ(after[1], "924 MB");
    EXPECT_EQ(after[2], "100 MB");
    EXPECT_EQ(after[4], "547 MB");
    EXPECT_EQ(after[5], "1500 MB");
    meter->accept();
    EXPECT_FALSE(meter->Timer1->isActive()) << "closing stops the timer";
    ranWhileOpen = true;
    return int(QDialog::Accepted);
  });
  form.Commands(QStringLiteral("Miernik zasobów")).first()->trigger();
  EXPECT_TRUE(ranWhileOpen);
  EXPECT_EQ(Dialogs.DialogsRun, std::vector<std::string>{"Miernik"});
}

TEST_F(ResourceMeterTest, TheMachinesOwnFiguresAreShown) {
  TMiernik meter;
  meter.show();
  EXPECT_TRUE(meter.Values[0]->text().endsWith(" MB"));
  EXPECT_TRUE(meter.Values[6]->text().endsWith(" MB"));
  meter.close();
  EXPECT_FALSE(meter.Timer1->isActive());
}

}  // namespace
}  // namespace vandrel::app::testing
