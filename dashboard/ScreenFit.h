// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QSize>

#include <functional>

class QWidget;

// Keeps a top-level window within the free area of its screen. The window is fitted when it first
// shows, once more when the window system has put its frame around it (until then the frame is a
// guess), and whenever it moves to another screen. The window itself decides how its content gives
// way: it is told the room its inside may take, and answers whether it had to change anything.
class ScreenFit : public QObject
{
    Q_OBJECT

public:
    // The size the inside of the window may take: the screen's free area less the window's frame.
    struct Room
    {
        QSize likely; // less a title bar's height while the frame is not known yet
        QSize sure;   // less only what is known of the frame: what a guess may not overrule
    };
    using Fitter = std::function<bool(const Room& room)>;

    ScreenFit(QWidget* window, Fitter fitter); // owned by the window

    static Room room(const QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fit(bool place);

    QWidget* m_window;
    Fitter m_fitter;
    QSize m_border{-1, -1}; // the frame as the last fit saw it; none before the first show
};
