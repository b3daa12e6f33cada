// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The small controls of the programming tab that Qt has no ready form for.

#include <QColor>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QWidget>

class QTimer;
class QToolButton;

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

// A sunken panel whose fill shows a percentage, with the rounded percentage written on it.
// It paints every pixel of its own, so a new fill repaints the bar alone and none of the window
// behind it, only when the fill or the figure visibly changes, and no faster than a screen
// shows frames: a register search sets it 256 times, and against a fast Controller that can be
// quicker than painting it each time.
class PercentBar : public QWidget
{
    Q_OBJECT

public:
    explicit PercentBar(QWidget* parent);

    void setPercent(double percent);
    double percent() const { return m_percent; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int fillWidth(double percent) const;

    double m_percent = 0.0;
    int m_shownFill = 0;
    int m_shownFigure = 0;
    QElapsedTimer m_sincePaint;
    QTimer* m_pendingPaint;
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
