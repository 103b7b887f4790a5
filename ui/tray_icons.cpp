#include "ui/tray_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace kestrelin {
namespace {

// Draws at 64 x 64 and lets QIcon scale down for the tray and title bar.
QIcon Draw(const std::function<void(QPainter&)>& paint) {
  QPixmap pixmap(64, 64);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  paint(p);
  p.end();
  return QIcon(pixmap);
}

}  // namespace

QIcon KestrelinIcon() {
  return Draw([](QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2b, 0x5d, 0x8c));
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    // The wing: a swept shape in the kestrel's russet.
    QPainterPath wing;
    wing.moveTo(8, 26);
    wing.cubicTo(22, 8, 44, 8, 58, 14);
    wing.cubicTo(44, 16, 36, 22, 32, 30);
    wing.cubicTo(24, 24, 16, 24, 8, 26);
    p.setBrush(QColor(0xd9, 0x7b, 0x3a));
    p.drawPath(wing);
    // The arrow: a copy coming down to the disk.
    p.setBrush(Qt::white);
    p.drawRect(QRectF(28, 30, 8, 14));
    QPolygonF head;
    head << QPointF(20, 42) << QPointF(44, 42) << QPointF(32, 56);
    p.drawPolygon(head);
  });
}

QIcon magIcon() {
  return Draw([](QPainter& p) {
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 7, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(38, 38), QPointF(56, 56));
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 5));
    p.setBrush(QColor(0xbf, 0xe3, 0xff));
    p.drawEllipse(QPointF(26, 26), 18, 18);
  });
}

QIcon globIcon() {
  return Draw([](QPainter& p) {
    const QRectF disk(6, 6, 52, 52);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2f, 0x86, 0xd1));
    p.drawEllipse(disk);
    p.setPen(QPen(Qt::white, 3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(disk);
    p.drawEllipse(QRectF(20, 6, 24, 52));
    p.drawLine(QPointF(32, 6), QPointF(32, 58));
    p.drawLine(QPointF(6, 32), QPointF(58, 32));
    p.drawLine(QPointF(11, 19), QPointF(53, 19));
    p.drawLine(QPointF(11, 45), QPointF(53, 45));
  });
}

QIcon buildIcon() {
  return Draw([](QPainter& p) {
    p.setPen(QPen(QColor(0x5a, 0x3a, 0x10), 2));
    p.setBrush(QColor(0xf0, 0xa8, 0x30));
    p.drawRect(QRectF(6, 40, 24, 18));
    p.drawRect(QRectF(34, 40, 24, 18));
    p.setBrush(QColor(0xe0, 0x60, 0x30));
    p.drawRect(QRectF(20, 20, 24, 18));
    p.setBrush(QColor(0x70, 0xb0, 0x40));
    p.drawRect(QRectF(26, 4, 12, 14));
  });
}

QIcon TrayIconOfKind(int iconKind) {
  switch (iconKind) {
    case 1: return magIcon();
    case 2: return globIcon();
    case 3: return buildIcon();
    default: return QIcon();
  }
}

}  // namespace kestrelin
