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

namespace {
constexpr int kFrameIntervalMs = 15; // about the frame rate of a screen
} // namespace

PercentBar::PercentBar(QWidget* parent) : QWidget(parent), m_pendingPaint(new QTimer(this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_pendingPaint->setSingleShot(true);
    connect(m_pendingPaint, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

int PercentBar::fillWidth(double percent) const
{
    const int inner = qMax(0, width() - 4);
    return qRound(inner * qBound(0.0, percent, 100.0) / 100.0);
}

void PercentBar::setPercent(double percent)
{
    m_percent = percent;
    const int fill = fillWidth(percent);
    const int figure = qRound(percent);
    if (fill == m_shownFill && figure == m_shownFigure)
        return;
    m_shownFill = fill;
    m_shownFigure = figure;
    const qint64 since = m_sincePaint.isValid() ? m_sincePaint.elapsed() : kFrameIntervalMs;
    // At once, so the bar shows the step before its exchange blocks the window; a step that
    // follows too soon is painted by the timer, or by the step after it.
    if (since >= kFrameIntervalMs)
        repaint();
    else if (!m_pendingPaint->isActive())
        m_pendingPaint->start(int(kFrameIntervalMs - since));
}

void PercentBar::resizeEvent(QResizeEvent*)
{
    m_shownFill = fillWidth(m_percent);
}

void PercentBar::paintEvent(QPaintEvent*)
{
    m_sincePaint.start();
    m_pendingPaint->stop();
    QPainter painter(this);
    const QRect all = rect();
    // Sunken edge: dark above and left, light below and right.
    painter.fillRect(all, palette().color(QPalette::Light));
    painter.fillRect(QRect(0, 0, all.width() - 1, all.height() - 1), palette().color(QPalette::Mid));
    const QRect inner = all.adjusted(2, 2, -2, -2);
    painter.fillRect(all.adjusted(1, 1, -1, -1), palette().color(QPalette::Base));

    const QRect filled(inner.left(), inner.top(), m_shownFill, inner.height());
    painter.fillRect(filled, QColor(0, 0, 255));
    // The figure reads dark on the empty part and white on the filled part.
    const QString text = QString::number(m_shownFigure) + QStringLiteral(" %");
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(inner, Qt::AlignCenter, text);
    painter.setClipRect(filled);
    painter.setPen(Qt::white);
    painter.drawText(inner, Qt::AlignCenter, text);
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
