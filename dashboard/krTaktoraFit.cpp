// SPDX-License-Identifier: GPL-3.0-or-later
// How the main window gives way on a screen too small for it. Step by step, each only when the
// one before was not enough: the accessory panels close up, then the throttles close up and the
// accessory panels scroll, then the throttles scroll with them while the check row, the global stop and the
// load circuit stay in view, and on a narrow screen the status bar's panels give up width.

#include "krTaktora.h"

#include "AccessoryPanel.h"
#include "ScreenFit.h"
#include "ThrottlePanel.h"

#include <QGridLayout>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>
#include <numeric>

namespace {
bool fitsIn(const QSize& size, const QSize& room)
{
    return size.width() <= room.width() && size.height() <= room.height();
}

// Layouts answer from the sizes they were told before, and before the window shows no event
// brings them up to date: tell every layout at once.
void relayout(QWidget* window)
{
    for (QWidget* w : window->findChildren<QWidget*>())
        w->updateGeometry();
    for (QLayout* l : window->findChildren<QLayout*>())
        l->invalidate();
    window->layout()->activate(); // also lowers the window's minimum size
}
} // namespace

void krTaktora::watchScreen()
{
    new ScreenFit(this, [this](const ScreenFit::Room& room) { return fitInto(room); });
}

bool krTaktora::fitInto(const ScreenFit::Room& room)
{
    if (fitsIn(size(), room.likely))
        return false;
    if (!m_compact) {
        // The accessory column is what makes the window tall; the throttles and their sliders
        // follow its height down to the height of their function keys.
        m_compact = true;
        for (AccessoryPanel* panel : m_accessories)
            panel->makeCompact();
        relayout(this);
    }
    // Once it scrolls, the window keeps what it has as far as the room allows. Only a frame that
    // is known makes anything scroll, a guessed one does not.
    const QSize wanted = m_scrolling ? size() : sizeHint().expandedTo(minimumSizeHint());
    if (!fitsIn(wanted, room.sure) && !m_scrolling) {
        m_scrolling = true;
        // The throttles put their buttons beside the function keys, so that speed, direction and
        // STOP stay in view while only the accessories scroll; where not even that fits, the
        // throttles scroll with the accessories as one.
        for (ThrottlePanel* throttle : m_throttles)
            throttle->makeCompact();
        putAccessoriesInScrollArea();
        relayout(this);
        if (!fitsIn(minimumSizeHint(), room.sure))
            putThrottlesInScrollArea();
    }
    if (minimumWidth() > room.sure.width())
        narrowStatusBar(room.sure.width());
    relayout(this);
    resize((m_scrolling ? wanted.boundedTo(room.likely) : wanted).expandedTo(minimumSize()));
    return true;
}

void krTaktora::putAccessoriesInScrollArea()
{
    auto* grid = static_cast<QGridLayout*>(m_controllerFrame->layout());
    grid->removeWidget(m_accessoryColumn);
    static_cast<QVBoxLayout*>(m_accessoryColumn->layout())->addStretch(1); // panels close up at the top

    auto* scroller = new QScrollArea(m_controllerFrame);
    scroller->setObjectName(QStringLiteral("scrAccessories"));
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller->setWidget(m_accessoryColumn);
    // As wide as the panels and the scroll bar, which sits beside them and is theirs alone.
    scroller->setMinimumWidth(m_accessoryColumn->minimumSizeHint().width() +
                              scroller->verticalScrollBar()->sizeHint().width());
    grid->addWidget(scroller, 0, ThrottleCount, 2, 1);
}

void krTaktora::putThrottlesInScrollArea()
{
    auto* grid = static_cast<QGridLayout*>(m_controllerFrame->layout());
    QWidget* loadCircuit = m_controllerFrame->findChild<QWidget*>(QStringLiteral("fraLoadCircuit"));
    auto* accessoryScroller = m_controllerFrame->findChild<QScrollArea*>(QStringLiteral("scrAccessories"));

    // Throttles and accessory panels side by side as before, without the load circuit row.
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("fraScrolledPanels"));
    auto* panels = new QGridLayout(content);
    panels->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < ThrottleCount; ++i)
        panels->addWidget(m_throttles[i], 0, i); // leaves the old grid
    panels->addWidget(accessoryScroller->takeWidget(), 0, ThrottleCount);

    // What is left in the old grid: the emptied accessory scroller and the load circuit row.
    while (QLayoutItem* item = grid->takeAt(0))
        delete item; // a widget item leaves its widget alone
    delete accessoryScroller;
    auto* scroller = new QScrollArea(m_controllerFrame);
    scroller->setObjectName(QStringLiteral("scrPanels"));
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    scroller->setWidget(content);
    grid->addWidget(scroller, 0, 0);
    grid->addWidget(loadCircuit, 1, 0);
}

void krTaktora::narrowStatusBar(int width)
{
    // The panels have fixed widths. The empty spacers give way first, then every panel in
    // proportion to its width.
    QList<QLabel*> spacers, texts;
    for (QLabel* panel : statusBar()->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
        if (panel->isVisibleTo(this)) // a hidden panel's room is another's until it shows
            (panel->text().isEmpty() && panel->toolTip().isEmpty() ? spacers : texts).append(panel);
    int excess = statusBar()->sizeHint().width() - width;
    for (QLabel* spacer : spacers) {
        const int cut = std::min(excess, spacer->minimumWidth());
        spacer->setFixedWidth(spacer->minimumWidth() - cut);
        excess -= cut;
    }
    const int total = std::accumulate(texts.begin(), texts.end(), 0, [](int sum, const QLabel* panel) {
        return sum + panel->minimumWidth();
    });
    if (excess > 0 && total > 0) {
        const double keep = std::max(0.0, 1.0 - double(excess) / total);
        for (QLabel* panel : texts)
            panel->setFixedWidth(int(panel->minimumWidth() * keep)); // rounds down: the sum stays within
    }
    statusBar()->layout()->invalidate();
    setMinimumWidth(std::min(minimumWidth(), width));
}
