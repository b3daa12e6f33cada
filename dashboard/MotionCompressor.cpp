// SPDX-License-Identifier: GPL-3.0-or-later
#include "MotionCompressor.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

MotionCompressor::MotionCompressor(QWidget* target) : QObject(target), m_target(target)
{
    target->installEventFilter(this);
}

MotionCompressor::~MotionCompressor() = default;

bool MotionCompressor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_target || m_delivering)
        return false;
    switch (event->type()) {
    case QEvent::MouseMove:
        m_pending.reset(static_cast<QMouseEvent*>(event->clone()));
        if (!m_scheduled) {
            // Queued behind the moves already waiting, so they are all seen before it runs.
            m_scheduled = true;
            QMetaObject::invokeMethod(this, &MotionCompressor::deliverPending, Qt::QueuedConnection);
        }
        return true;
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonPress:
        deliverPending();
        return false;
    default:
        return false;
    }
}

void MotionCompressor::deliverPending()
{
    m_scheduled = false;
    if (!m_pending)
        return;
    const std::unique_ptr<QMouseEvent> move = std::move(m_pending);
    m_delivering = true;
    QCoreApplication::sendEvent(m_target, move.get());
    m_delivering = false;
}
