#include "app/Images.h"

#include <QPainter>
#include <QPixmap>

namespace vandrel::app {
namespace {

QIcon Badge(const QColor& Fill, const QString& Letter, bool Folder) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Fill.darker(160));
  p.setBrush(Fill);
  if (Folder)
    p.drawRoundedRect(QRectF(0.5, 3.5, 15, 11), 2, 2);
  else
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
  QFont font = p.font();
  font.setPixelSize(10);
  font.setBold(true);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(pixmap.rect(), Qt::AlignCenter, Letter);
  return QIcon(pixmap);
}

}  // namespace

QIcon ToolBarImage(int Index) {
  static const struct { QColor c; const char* l; } images[] = {
      {QColor(40, 90, 160), "S"}, {QColor(40, 130, 90), "K"}, {QColor(150, 100, 30), "O"},
      {QColor(120, 40, 140), "M"}, {QColor(180, 60, 40), "T"}, {QColor(60, 60, 60), "P"}};
  if (Index < 0 || Index >= 6) return {};
  return Badge(images[Index].c, images[Index].l, false);
}

QIcon TreeImage(int Index) {
  switch (Index) {
    case 1: case 2: return Badge(QColor(200, 160, 40), "B", true);
    case 3: return Badge(QColor(40, 110, 180), "D", false);
    case 4: return Badge(QColor(200, 160, 40), "T", true);
    case 5: return Badge(QColor(70, 140, 70), "t", false);
    case 6: return Badge(QColor(200, 160, 40), "U", true);
    case 7: return Badge(QColor(110, 90, 160), "u", false);
    case 8: return Badge(QColor(200, 160, 40), "L", true);
    case 9: return Badge(QColor(150, 80, 120), "l", false);
    case 10: return Badge(QColor(30, 140, 60), "S", false);
    case 11: return Badge(QColor(190, 40, 40), "S", false);
    case 13: return Badge(QColor(130, 130, 130), "D", false);
    case 14: return Badge(QColor(200, 60, 30), "!", false);
    default: return {};
  }
}

}  // namespace vandrel::app
