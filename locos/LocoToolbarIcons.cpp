// SPDX-License-Identifier: GPL-3.0-or-later
#include "LocoToolbarIcons.h"

#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {
// Wider than high, so that "126" stays readable on its badge.
constexpr int Width = LocoToolbarIconWidth;
constexpr int Height = LocoToolbarIconHeight;

QPixmap canvas()
{
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(QSize(Width, Height) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// The square symbols sit in the middle of the wide canvas.
void centreSquare(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.translate((Width - Height) / 2.0, 0);
}

QPixmap restartArrow()
{
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    centreSquare(p);
    const QColor green(0, 128, 0);
    p.setPen(QPen(green, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(2.5, 2.5, 11, 11), 100 * 16, 280 * 16);
    QPainterPath head;
    head.moveTo(8.5, 0.5);
    head.lineTo(12.5, 3.0);
    head.lineTo(8.5, 5.8);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(green);
    p.drawPath(head);
    return pixmap;
}

QPixmap plus()
{
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    centreSquare(p);
    p.setPen(QPen(QColor(0, 150, 0), 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 2.5), QPointF(8, 13.5));
    p.drawLine(QPointF(2.5, 8), QPointF(13.5, 8));
    return pixmap;
}

QPixmap cross()
{
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    centreSquare(p);
    p.setPen(QPen(QColor(200, 0, 0), 3.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
    return pixmap;
}

// The speed-step count on a blue badge.
QPixmap badge(const QString& steps)
{
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 70, 160));
    const QRectF face(0.5, 1.5, Width - 1, Height - 3);
    p.drawRoundedRect(face, 3, 3);
    QFont font = p.font();
    font.setPixelSize(11);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(face, Qt::AlignCenter, steps);
    return pixmap;
}
} // namespace

QIcon locoToolbarIcon(const QString& key)
{
    const QString k = key.toLower();
    if (k == QLatin1String("btnactivateconfig"))
        return QIcon(restartArrow());
    if (k == QLatin1String("btnadd"))
        return QIcon(plus());
    if (k == QLatin1String("btndelete"))
        return QIcon(cross());
    if (k == QLatin1String("btn14") || k == QLatin1String("btn28") || k == QLatin1String("btn126"))
        return QIcon(badge(key.mid(3)));
    return QIcon();
}
