// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThrottleMark.h"

#include <QEvent>
#include <QGroupBox>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionGroupBox>

const QColor ThrottleMark::Colour(42, 127, 212); // the blue of the speed bar

ThrottleMark::ThrottleMark(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("throttleMark"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

void ThrottleMark::markOn(QWidget* throttle)
{
    if (m_throttle)
        m_throttle->removeEventFilter(this);
    m_throttle = throttle;
    if (!throttle) {
        hide();
        return;
    }
    follow();
    throttle->installEventFilter(this);
    show();
    raise();
}

bool ThrottleMark::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_throttle && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        follow();
    return QWidget::eventFilter(watched, event);
}

void ThrottleMark::follow()
{
    setGeometry(QRect(m_throttle->mapTo(parentWidget(), QPoint()), m_throttle->size()));
}

void ThrottleMark::paintEvent(QPaintEvent* /*event*/)
{
    // Drawn like the throttle's own frame: through the middle of its caption, leaving the caption
    // readable, so the mark reads as that frame lit up.
    QRectF frame = QRectF(rect());
    QRegion clip(rect());
    if (auto* box = qobject_cast<QGroupBox*>(m_throttle)) {
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        const QRect caption =
            box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
        frame.setTop(caption.center().y());
        clip -= QRegion(caption.adjusted(-3, 0, 3, 0));
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRegion(clip);
    constexpr qreal width = 3;
    painter.setPen(QPen(Colour, width));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(frame.adjusted(width / 2, width / 2, -width / 2, -width / 2), 5, 5);
}
