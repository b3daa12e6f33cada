// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

// The frame drawn around the throttle that the keyboard drives. It lies over the throttle without
// taking its clicks, so the throttle itself looks and behaves as before.
class ThrottleMark : public QWidget
{
    Q_OBJECT

public:
    static const QColor Colour;

    // The parent holds the throttles; the mark lies above them.
    explicit ThrottleMark(QWidget* parent);
    // Moves over the given throttle, or hides for none.
    void markOn(QWidget* throttle);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void follow();

    QWidget* m_throttle = nullptr;
};
