// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgrammingWidgets.h"

#include <QPainter>
#include <QTimer>
#include <QToolButton>

CircleShape::CircleShape(QWidget* parent) : QWidget(parent), m_color(Qt::black)
{}

void CircleShape::setFillColor(const QColor& color)
{
    if (color == m_color)
        return;
    m_color = color;
    update();
}

void CircleShape::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Round even when the place is a little taller than wide.
    const qreal side = qMin(width(), height()) - 2.0;
    const QRectF circle((width() - side) / 2.0, (height() - side) / 2.0, side, side);
    painter.setPen(QPen(QColor(64, 64, 64), 1.0));
    painter.setBrush(m_color);
    painter.drawEllipse(circle);
}

ProgressPanel::ProgressPanel(const MonotonicClock& clock, QWidget* parent)
    : QProgressBar(parent), m_rate(clock), m_pending(new QTimer(this))
{
    setRange(0, 100);
    setValue(0);
    setFormat(QStringLiteral("%p %"));
    setAlignment(Qt::AlignCenter);
    // Paints its own background, so a new value repaints the bar alone, not the window behind it.
    setAutoFillBackground(true);
    m_pending->setSingleShot(true);
    connect(m_pending, &QTimer::timeout, this, &ProgressPanel::showWanted);
}

void ProgressPanel::setPercent(double percent)
{
    m_wanted = qRound(qBound(0.0, percent, 100.0));
    if (m_wanted == value())
        m_pending->stop();
    else if (m_rate.due())
        setValue(m_wanted); // at once, so the step shows before its exchange blocks the window
    else if (!m_pending->isActive())
        m_pending->start(int(m_rate.remainingMs()));
}

void ProgressPanel::showWanted()
{
    m_rate.restart();
    setValue(m_wanted);
}

SpinButton::SpinButton(QWidget* parent)
    : QWidget(parent), m_up(new QToolButton(this)), m_down(new QToolButton(this))
{
    m_up->setObjectName(QStringLiteral("up"));
    m_down->setObjectName(QStringLiteral("down"));
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    for (QToolButton* arrow : {m_up, m_down}) {
        arrow->setAutoRepeat(true);
        arrow->setFocusPolicy(Qt::NoFocus);
    }
    connect(m_up, &QToolButton::clicked, this, &SpinButton::upClicked);
    connect(m_down, &QToolButton::clicked, this, &SpinButton::downClicked);
}

void SpinButton::resizeEvent(QResizeEvent*)
{
    const int upper = height() / 2;
    m_up->setGeometry(0, 0, width(), upper);
    m_down->setGeometry(0, upper, width(), height() - upper);
}

FieldEdit::FieldEdit(const QString& text, int typingLimit, QWidget* parent)
    : QLineEdit(text, parent), m_limit(typingLimit), m_current(text), m_beforeChange(text)
{
    connect(this, &QLineEdit::textChanged, this, &FieldEdit::onTextChanged);
    connect(this, &QLineEdit::textEdited, this, &FieldEdit::onTextEdited);
}

void FieldEdit::onTextChanged(const QString& text)
{
    m_beforeChange = m_current;
    m_current = text;
}

// The user's edit: whether textChanged for it came first or comes next depends on the Qt
// version, so the text before it is whichever of the two kept texts is not the new one.
// Shortening an over-long text the program filled in stays possible.
void FieldEdit::onTextEdited(const QString& text)
{
    const QString before = m_current == text ? m_beforeChange : m_current;
    if (text.size() > m_limit && text.size() > before.size())
        setText(before);
}
