// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The small controls of the programming tab that Qt has no ready form for, its progress bar and
// the colours of its status line and lamps.

#include "krTaktoraTools.h"

#include <QColor>
#include <QLineEdit>
#include <QProgressBar>
#include <QWidget>

class QTimer;
class QToolButton;

namespace Programming {
// Colours of the status line and the lamps.
const QColor Blue(0, 0, 255);
const QColor Red(255, 0, 0);
const QColor Green(0, 192, 0);
const QColor LampOff(0, 0, 0);
} // namespace Programming

// A round lamp with a fill colour, drawn into whatever size it is given.
class CircleShape : public QWidget
{
    Q_OBJECT

public:
    explicit CircleShape(QWidget* parent);

    void setFillColor(const QColor& color);
    QColor fillColor() const { return m_color; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
};

// Qt's progress bar, so that screen readers and other tools read its value, with the percentage
// written on it ("42 %"). Its value changes no faster than a screen shows frames: a register
// search moves it 256 times, and against a fast Controller repainting it each time would cost
// more than the exchanges. A value that comes too soon is shown by a timer at the end of the
// interval, unless another one replaces it first; the last one is always shown.
class ProgressPanel : public QProgressBar
{
    Q_OBJECT

public:
    // Timed on the line's clock, as the reads it shows are.
    ProgressPanel(const MonotonicClock& clock, QWidget* parent);

    void setPercent(double percent);

private:
    void showWanted();

    int m_wanted = 0;
    ScreenRate m_rate;
    QTimer* m_pending;
};

// Two arrows, up over down, beside a text field; they only say which was clicked, the field's
// owner decides what a step means.
class SpinButton : public QWidget
{
    Q_OBJECT

public:
    explicit SpinButton(QWidget* parent);

    QToolButton* upArrow() const { return m_up; }
    QToolButton* downArrow() const { return m_down; }

signals:
    void upClicked();
    void downClicked();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* m_up;
    QToolButton* m_down;
};

// A text field whose length limit holds for what the user types or pastes, not for what the
// program fills in (a spin step to "1024" in a one-character field stays readable, and the
// validation then rejects it).
class FieldEdit : public QLineEdit
{
    Q_OBJECT

public:
    FieldEdit(const QString& text, int typingLimit, QWidget* parent);

    int typingLimit() const { return m_limit; }

private:
    void onTextChanged(const QString& text);
    void onTextEdited(const QString& text);

    int m_limit;
    QString m_current;
    QString m_beforeChange;
};
