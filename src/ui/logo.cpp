#include "ui/logo.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

// A strip of film with grey frames beside the name.
QPixmap CorvanelLogo() {
  QPixmap logo(260, 64);
  logo.fill(Qt::transparent);
  QPainter painter(&logo);
  painter.setRenderHint(QPainter::Antialiasing);
  QLinearGradient background(0, 0, 0, 64);
  background.setColorAt(0, QColor(30, 60, 110));
  background.setColorAt(1, QColor(12, 28, 60));
  QPainterPath frame;
  frame.addRoundedRect(QRectF(0.5, 0.5, 259, 63), 10, 10);
  painter.fillPath(frame, background);

  const QRectF strip(10, 10, 64, 44);
  painter.fillRect(strip, QColor(20, 20, 20));
  painter.setBrush(Qt::white);
  painter.setPen(Qt::NoPen);
  for (int hole = 0; hole < 6; ++hole) {
    painter.drawRect(QRectF(13 + hole * 10, 12, 5, 4));
    painter.drawRect(QRectF(13 + hole * 10, 48, 5, 4));
  }
  for (int cell = 0; cell < 3; ++cell)
    painter.fillRect(QRectF(13 + cell * 20, 19, 18, 26), QColor::fromHsv(0, 0, 80 + cell * 70));

  QFont font("Sans Serif");
  font.setPixelSize(30);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(QRectF(84, 0, 170, 64), Qt::AlignVCenter | Qt::AlignLeft, "Corvanel");
  return logo;
}
