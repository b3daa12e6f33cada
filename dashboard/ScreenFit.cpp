// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScreenFit.h"

#include "krTaktoraTools.h"

#include <QEvent>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <QWindow>

namespace {
QSize frameBorder(const QWidget* window)
{
    return window->frameGeometry().size() - window->size();
}
} // namespace

ScreenFit::ScreenFit(QWidget* window, Fitter fitter)
    : QObject(window), m_window(window), m_fitter(std::move(fitter))
{
    window->installEventFilter(this);
}

ScreenFit::Room ScreenFit::room(const QWidget* window)
{
    const QSize border = frameBorder(window);
    const QSize sure = AvailableScreenArea(window).size() - border;
    if (!border.isNull())
        return {sure, sure};
    // Not framed yet, or never: a window system that frames it will most likely add a title bar.
    return {sure - QSize(0, window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window)), sure};
}

bool ScreenFit::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_window)
        return false;
    switch (event->type()) {
    case QEvent::Show:
        if (m_border.width() < 0) {
            // Moving to another screen may leave too little room there; a window that still fits
            // stays where the user put it, even across the screens' seam.
            connect(m_window->windowHandle(), &QWindow::screenChanged, this, [this] { fit(false); });
            fit(true);
        }
        break;
    case QEvent::Move:
    case QEvent::Resize:
        // The window system reports the frame it added with the next move or resize.
        if (m_border.width() >= 0 && m_window->isVisible() && frameBorder(m_window) != m_border)
            fit(true);
        break;
    default:
        break;
    }
    return false;
}

void ScreenFit::fit(bool place)
{
    m_border = frameBorder(m_window);
    // A maximised or full-screen window has the size the window system gave it.
    if (m_window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return;
    const bool changed = m_fitter(room(m_window));
    if (place || changed)
        KeepOnScreen(m_window);
}
