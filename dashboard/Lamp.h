// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QWidget>

// A round lamp with a fill colour.
class Lamp : public QWidget
{
    Q_OBJECT

public:
    static constexpr int Diameter = 22;

    explicit Lamp(QWidget* parent = nullptr);

    void setColor(const QColor& color);
    QColor color() const { return m_color; }
    QSize sizeHint() const override { return {Diameter, Diameter}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
};
