// SPDX-License-Identifier: GPL-3.0-or-later
#include "Lamp.h"

#include "DashboardRules.h"

#include <QPainter>

Lamp::Lamp(QWidget* parent) : QWidget(parent), m_color(Dashboard::LampGrey)
{
    setFixedSize(Diameter, Diameter);
}

void Lamp::setColor(const QColor& color)
{
    m_color = color;
    update();
}

void Lamp::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF circle = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    painter.setPen(QPen(QColor(60, 60, 60), 1.5));
    painter.setBrush(m_color);
    painter.drawEllipse(circle);
    // A small highlight makes a lit lamp read as glass, not as a flat dot.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 70));
    painter.drawEllipse(QRectF(circle.x() + circle.width() * 0.22, circle.y() + circle.height() * 0.15,
                               circle.width() * 0.35, circle.height() * 0.28));
}
