#pragma once
// The meter's small chart: used physical memory and used page file over the last minutes,
// one sample a refresh, each line against its own total. It only holds what the open meter
// gave it, so a closed meter costs nothing.
#include <QWidget>
#include <cstdint>
#include <deque>

namespace vandrel::app::admin {

class TMemoryTrend : public QWidget {
  Q_OBJECT
 public:
  // Five minutes of one-second samples.
  static constexpr size_t kSamples = 300;

  struct Sample {
    std::int64_t UsedPhys, TotalPhys, UsedPageFile, TotalPageFile;  // whole megabytes
  };

  explicit TMemoryTrend(QWidget* Parent = nullptr);
  // A new sample; the oldest goes once the chart is full.
  void AddSample(const Sample& S);
  const std::deque<Sample>& Samples() const { return FSamples; }

 protected:
  void paintEvent(QPaintEvent* Event) override;

 private:
  std::deque<Sample> FSamples;
};

}  // namespace vandrel::app::admin
