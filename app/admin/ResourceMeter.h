#pragma once
// "Miernik zasobów": the memory figures of this machine in the dialog TMiernik, read again
// once a second while the dialog is open. The tool's only timer.
#include <QDialog>
#include <array>
#include <cstdint>
#include <functional>

#include "app/CommandContext.h"
#include "platform/MemoryStatus.h"

class QLabel;
class QTimer;

namespace vandrel::app::admin {

class TMemoryTrend;

class TMiernik : public QDialog {
  Q_OBJECT
 public:
  explicit TMiernik(QWidget* Parent = nullptr);

  // Where the figures come from: the platform's memory status (tests give their own).
  std::function<void(platform::TMemoryStatus&)> ReadMemoryStatus = platform::GlobalMemoryStatus;

  QTimer* Timer1 = nullptr;
  // The value labels in the order of the rows: physical memory (size, used, free), page file
  // (size, used, available), virtual memory (size, used, free).
  std::array<QLabel*, 9> Values{};
  // Used physical memory and page file over the last minutes, under the figures.
  TMemoryTrend* Trend = nullptr;

  void Refresh();
  void FormShow();
  void FormCloseQuery();

 protected:
  void showEvent(QShowEvent* Event) override;
  void done(int Result) override;
  void closeEvent(QCloseEvent* Event) override;
};

void ShowResourceMeter(TCommandContext& Context);

}  // namespace vandrel::app::admin
