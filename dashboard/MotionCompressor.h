// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <memory>

class QMouseEvent;

// Lets only the newest of the mouse moves that queued up on a widget through. A speed command
// blocks the window until the Controller answers; without this, every move the mouse reported
// meanwhile would send its own, older speed afterwards, and the loco would lag behind the hand
// long after the user let go. The button release always comes after the newest move.
class MotionCompressor : public QObject
{
    Q_OBJECT

public:
    explicit MotionCompressor(QWidget* target);
    ~MotionCompressor() override; // where the pending event's type is complete

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void deliverPending();

    QWidget* m_target;
    std::unique_ptr<QMouseEvent> m_pending;
    bool m_scheduled = false;
    bool m_delivering = false;
};
