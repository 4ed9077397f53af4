#include "app/admin/ResourceMeter.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "app/DialogSeam.h"
#include "app/admin/MemoryTrend.h"

namespace vandrel::app::admin {

namespace {

constexpr std::uint64_t kMegabyte = 1048576;

const char* const kCaptions[9] = {
    "Rozmiar fizycznej pamięci:", "Wykorzystana pamięć:",           "Ilość wolnej pamięci:",
    "Rozmiar pliku strony:",      "Użycie pliku strony:",           "Dostępny rozmiar pliku strony:",
    "Rozmiar pamięci wirtualnej:", "Używana pamięć wirtualna:",     "Ilość wolnej pamięci wirtualnej:"};

QString Megabytes(std::int64_t Value) { return QString::number(Value) + QStringLiteral(" MB"); }

// A size, shown only from 1 MB up; a smaller one leaves the label as it was.
void ShowSize(QLabel* Label, std::uint64_t Bytes) {
  if (Bytes >= kMegabyte) Label->setText(Megabytes(std::int64_t(Bytes >> 20)));
}

// A difference of two sizes, as the difference of their whole megabytes, shown only when both
// are at least 1 MB.
void ShowDifference(QLabel* Label, std::uint64_t Total, std::uint64_t Available) {
  if (Total >= kMegabyte && Available >= kMegabyte)
    Label->setText(Megabytes(std::int64_t(Total >> 20) - std::int64_t(Available >> 20)));
}

}  // namespace

TMiernik::TMiernik(QWidget* Parent) : QDialog(Parent) {
  setObjectName("Miernik");
  setWindowTitle(QStringLiteral("Miernik zasobów"));
  auto* grid = new QGridLayout(this);
  int row = 0;
  for (int i = 0; i < 9; ++i) {
    if (i > 0 && i % 3 == 0) grid->setRowMinimumHeight(row++, 10);  // gap between the groups
    grid->addWidget(new QLabel(QString::fromUtf8(kCaptions[i])), row, 0);
    Values[i] = new QLabel;
    Values[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Values[i]->setMinimumWidth(80);
    grid->addWidget(Values[i], row++, 1);
  }
  Trend = new TMemoryTrend;
  grid->setRowMinimumHeight(row++, 10);
  grid->addWidget(Trend, row++, 0, 1, 2);
  auto* ok = new QPushButton(QStringLiteral("OK"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  grid->addWidget(ok, row, 0, 1, 2, Qt::AlignHCenter);
  layout()->setSizeConstraint(QLayout::SetFixedSize);

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, [this] { Refresh(); });
}

void TMiernik::Refresh() {
  platform::TMemoryStatus status;
  // Read twice: the second reading is the settled one.
  ReadMemoryStatus(status);
  ReadMemoryStatus(status);
  ShowSize(Values[0], status.TotalPhys);
  ShowSize(Values[2], status.AvailPhys);
  ShowDifference(Values[1], status.TotalPhys, status.AvailPhys);
  if (status.TotalPageFile == 0) {
    // A machine without swap has no page file at all, which is not the same as a full one.
    for (int row : {3, 4, 5}) Values[row]->setText(QStringLiteral("brak"));
  } else {
    ShowSize(Values[3], status.TotalPageFile);
    ShowDifference(Values[4], status.TotalPageFile, status.AvailPageFile);
    ShowSize(Values[5], status.AvailPageFile);
  }
  ShowSize(Values[6], status.TotalVirtual);
  ShowDifference(Values[7], status.TotalVirtual, status.AvailVirtual);
  ShowSize(Values[8], status.AvailVirtual);
  // The chart takes the same whole megabytes; a total under 1 MB counts as nothing used.
  const auto used = [](std::uint64_t Total, std::uint64_t Available) {
    return Total >= kMegabyte && Available <= Total ? std::int64_t(Total >> 20) - std::int64_t(Available >> 20)
                                                    : std::int64_t(0);
  };
  Trend->AddSample({used(status.TotalPhys, status.AvailPhys), std::int64_t(status.TotalPhys >> 20),
                    used(status.TotalPageFile, status.AvailPageFile), std::int64_t(status.TotalPageFile >> 20)});
}

void TMiernik::FormShow() {
  Refresh();
  Timer1->start();
}

void TMiernik::FormCloseQuery() { Timer1->stop(); }

void TMiernik::showEvent(QShowEvent* Event) {
  QDialog::showEvent(Event);
  FormShow();
}

void TMiernik::done(int Result) {
  FormCloseQuery();
  QDialog::done(Result);
}

void TMiernik::closeEvent(QCloseEvent* Event) {
  FormCloseQuery();
  Event->accept();
}

void ShowResourceMeter(TCommandContext& Context) {
  QWidget* parent = Context.DialogParent();
  TMiernik dialog(parent);
  // Centred on the main window.
  dialog.adjustSize();
  dialog.move(parent->geometry().center() - dialog.rect().center());
  DialogSeam::Current().ExecDialog(&dialog);
}

}  // namespace vandrel::app::admin
