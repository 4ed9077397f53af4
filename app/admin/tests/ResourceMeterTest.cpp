// The resource meter with memory figures given by the test, opened from its menu command.
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "app/admin/MemoryTrend.h"
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

    // A machine without swap: the page file rows say there is none.
    Status.TotalPageFile = Status.AvailPageFile = 0;
    QMetaObject::invokeMethod(meter->Timer1, "timeout", Qt::DirectConnection);
    EXPECT_EQ(Texts(*meter).mid(3, 3), QStringList({"brak", "brak", "brak"}));
    meter->accept();
    EXPECT_FALSE(meter->Timer1->isActive()) << "closing stops the timer";
    ranWhileOpen = true;
    return int(QDialog::Accepted);
  });
  form.Commands(TCommandId::cmResourceMeter).first()->trigger();
  EXPECT_TRUE(ranWhileOpen);
  EXPECT_EQ(Dialogs.DialogsRun, std::vector<std::string>{"Miernik"});
}

// The chart under the figures takes one sample a refresh, in the figures' whole megabytes,
// and keeps five minutes of them.
TEST_F(ResourceMeterTest, TrendFollowsTheRefreshesWhileOpen) {
  using Sample = admin::TMemoryTrend::Sample;
  const auto same = [](const Sample& a, const Sample& b) {
    return a.UsedPhys == b.UsedPhys && a.TotalPhys == b.TotalPhys && a.UsedPageFile == b.UsedPageFile &&
           a.TotalPageFile == b.TotalPageFile;
  };
  TMiernik meter;
  Script(meter);
  Status.TotalPhys = 1024 * MB;
  Status.AvailPhys = 300 * MB;
  Status.TotalPageFile = 2048 * MB;
  Status.AvailPageFile = 1500 * MB;
  meter.show();
  ASSERT_EQ(meter.Trend->Samples().size(), 1u);
  EXPECT_TRUE(same(meter.Trend->Samples()[0], Sample{724, 1024, 548, 2048}));
  ASSERT_TRUE(meter.Trend->isVisible());
  EXPECT_GE(meter.Trend->geometry().top(), meter.Values[8]->geometry().bottom()) << "under the figures";

  // A page file with less than 1 MB left is as good as full on the chart.
  Status.AvailPageFile = MB - 1;
  meter.Refresh();
  EXPECT_TRUE(same(meter.Trend->Samples().back(), Sample{724, 1024, 2048, 2048}));
  for (size_t i = 0; i < admin::TMemoryTrend::kSamples + 10; ++i) {
    Status.AvailPhys = (300 + i % 7) * MB;
    meter.Refresh();
  }
  EXPECT_EQ(meter.Trend->Samples().size(), admin::TMemoryTrend::kSamples) << "the oldest samples go";
  EXPECT_EQ(meter.Trend->Samples().back().UsedPhys, 1024 - (300 + (admin::TMemoryTrend::kSamples + 9) % 7));
  meter.grab();  // paints a full chart

  meter.close();
  EXPECT_FALSE(meter.Timer1->isActive()) << "a closed meter reads nothing";
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
