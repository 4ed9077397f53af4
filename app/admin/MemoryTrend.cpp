#include "app/admin/MemoryTrend.h"

#include <QPainter>
#include <QPainterPath>

namespace vandrel::app::admin {

namespace {

const QColor kPhysColour(30, 90, 200);
const QColor kPageColour(200, 60, 40);

}  // namespace

TMemoryTrend::TMemoryTrend(QWidget* Parent) : QWidget(Parent) {
  setObjectName("MemoryTrend");
  setMinimumSize(300, 110);
  setToolTip(QStringLiteral("Ostatnie 5 minut: wykorzystana pamięć fizyczna i użycie pliku strony, "
                            "każde względem swojego rozmiaru"));
}

void TMemoryTrend::AddSample(const Sample& S) {
  FSamples.push_back(S);
  while (FSamples.size() > kSamples) FSamples.pop_front();
  update();
}

void TMemoryTrend::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const int legend = fontMetrics().height() + 4;
  const QRectF plot = QRectF(rect()).adjusted(1, legend, -1, -1);
  painter.fillRect(plot, palette().base());
  painter.setPen(palette().mid().color());
  painter.drawRect(plot);
  for (int quarter = 1; quarter < 4; ++quarter) {
    const qreal y = plot.bottom() - plot.height() * quarter / 4;
    painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
  }

  // Each line in percent of its own total; the newest sample at the right edge.
  const auto line = [&](auto Used, auto Total, const QColor& Colour) {
    QPainterPath path;
    const size_t n = FSamples.size();
    for (size_t i = 0; i < n; ++i) {
      const Sample& s = FSamples[i];
      const std::int64_t total = Total(s);
      const qreal share = total > 0 ? qBound(0.0, qreal(Used(s)) / qreal(total), 1.0) : 0.0;
      const QPointF at(plot.right() - plot.width() * qreal(n - 1 - i) / qreal(kSamples - 1),
                       plot.bottom() - plot.height() * share);
      i == 0 ? path.moveTo(at) : path.lineTo(at);
    }
    painter.setPen(QPen(Colour, 1.5));
    painter.drawPath(path);
  };
  line([](const Sample& s) { return s.UsedPhys; }, [](const Sample& s) { return s.TotalPhys; }, kPhysColour);
  line([](const Sample& s) { return s.UsedPageFile; }, [](const Sample& s) { return s.TotalPageFile; }, kPageColour);

  painter.setPen(kPhysColour);
  painter.drawText(QPointF(2, legend - 5), QStringLiteral("pamięć fizyczna"));
  painter.setPen(kPageColour);
  painter.drawText(QPointF(width() / 2.0, legend - 5), QStringLiteral("plik strony"));
}

}  // namespace vandrel::app::admin
