#pragma once

#include <QColor>
#include <QWidget>

// A round lamp with a fill colour.
class Lamp : public QWidget
{
public:
    explicit Lamp(QWidget* parent = nullptr);

    void setColor(const QColor& color);
    QColor color() const { return m_color; }
    QSize sizeHint() const override { return {22, 22}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
};
