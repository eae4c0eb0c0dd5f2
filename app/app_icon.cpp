#include "app/app_icon.h"

#include <QColor>
#include <QPainter>
#include <QPixmap>

namespace corvessa {

namespace {

// A server box with three devices hanging off one line: the program hands
// addresses to the devices it knows.
QPixmap DrawIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal unit = size / 16.0;

  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0x1f, 0x5f, 0x9f));
  painter.drawRoundedRect(QRectF(0.5 * unit, 0.5 * unit, 15 * unit, 15 * unit), 3 * unit, 3 * unit);

  painter.setBrush(QColor(0xf2, 0xf2, 0xf2));
  painter.drawRect(QRectF(5 * unit, 2.5 * unit, 6 * unit, 4 * unit));

  QPen line(QColor(0xf2, 0xf2, 0xf2));
  line.setWidthF(1.2 * unit);
  painter.setPen(line);
  painter.drawLine(QPointF(8 * unit, 6.5 * unit), QPointF(8 * unit, 9 * unit));
  painter.drawLine(QPointF(3.5 * unit, 9 * unit), QPointF(12.5 * unit, 9 * unit));
  for (const qreal x : {3.5, 8.0, 12.5}) {
    painter.drawLine(QPointF(x * unit, 9 * unit), QPointF(x * unit, 10.5 * unit));
  }

  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0xff, 0xb0, 0x20));
  for (const qreal x : {2.0, 6.5, 11.0}) {
    painter.drawRect(QRectF(x * unit, 10.5 * unit, 3 * unit, 3 * unit));
  }
  return pixmap;
}

}  // namespace

QIcon ApplicationIcon() {
  QIcon icon;
  for (const int size : {16, 32, 48, 64}) icon.addPixmap(DrawIcon(size));
  return icon;
}

}  // namespace corvessa
