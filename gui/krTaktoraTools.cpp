// SPDX-License-Identifier: GPL-3.0-or-later
#include "krTaktoraTools.h"

#include "ControllerLink.h"
#include "LineClient.h"
#include "LinePrompter.h"
#include "LineReady.h"
#include "MessageBox.h"
#include "PortErrors.h"

#include <QBoxLayout>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QObject>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {

// The questions the line puts to the user for a transaction from the screen.
class ScreenPrompter final : public QObject, public LinePrompter
{
    Q_OBJECT

public:
    explicit ScreenPrompter(ControllerLink& link) : QObject(&link) {}

    bool retryAfterNoAnswer(quint8 controller) override
    {
        const QString text = controller == 255
                                 ? QStringLiteral("Kommunikation zu den KORADIN Controllern unterbrochen")
                                 : QStringLiteral("Controller ") + QString::number(controller) +
                                       QStringLiteral(" antwortet nicht.");
        return MessageBox::show(nullptr, QMessageBox::Warning, QString(), text,
                                QMessageBox::Retry | QMessageBox::Cancel,
                                QMessageBox::Cancel) == QMessageBox::Retry;
    }
    void portFailed(const QString& portName, const PortError& error) override
    {
        ShowPortAccessError(portName, error);
    }
};

const QScreen* screenOf(const QWidget* window)
{
    return window && window->screen() ? window->screen() : QGuiApplication::primaryScreen();
}

} // namespace

void ShowErrorReport(const QString& message, const QString& title)
{
    MessageBox::warning(nullptr, ErrorReportText(message), title);
}

void ShowErrorReport(int errorNumber, const QString& title)
{
    ShowErrorReport(QString::number(errorNumber), title);
}

void ShowPortAccessError(const QString& portName, const PortError& error)
{
    ShowErrorReport(PortAccessErrorText(portName, error.number, error.text));
}

bool OpenControllerPort(ControllerLink& link, const QString& name, bool quiet)
{
    if (link.open(name))
        return true;
    if (!quiet)
        ShowErrorReport(openErrorText(name, link.lastOpenError()));
    return false;
}

void AttachScreenPrompts(ControllerLink& link)
{
    link.setPrompter(new ScreenPrompter(link)); // a child of the line, gone with it
}

bool LineChecked(const LineClient& client, QWidget* window)
{
    if (!Line::awaitsCheck(client))
        return true;
    MessageBox::warning(window, Line::checkFirstText());
    return false;
}

int TwipsToPixels(int twips)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    return qRound(twips / 15.0 * dpi / 96.0);
}

void CenterWindow(QWidget* window)
{
    const QScreen* screen = screenOf(window);
    if (!window || !screen)
        return;
    const QRect area = screen->geometry();
    const QSize size = window->frameGeometry().size();
    const int offset = TwipsToPixels(100);
    window->move(area.x() + (area.width() - size.width()) / 2 + offset,
                 area.y() + (area.height() - size.height()) / 2 + offset);
    KeepOnScreen(window);
}

QRect AvailableScreenArea(const QWidget* window)
{
    const QScreen* screen = screenOf(window);
    return screen ? screen->availableGeometry() : QRect();
}

void KeepOnScreen(QWidget* window)
{
    const QRect area = AvailableScreenArea(window);
    if (!window || area.isEmpty())
        return;
    const QRect frame = window->frameGeometry();
    // Right and bottom edge first, then left and top, which win when the window is the larger.
    const int x = std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width()));
    const int y = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height()));
    if (x != frame.left() || y != frame.top())
        window->move(x, y); // a window's position is that of its frame
}

QPushButton* NamedButton(const QString& name, const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

void ShowStatusText(QLabel* label, const QString& text, const QColor& colour)
{
    label->setText(text);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

#include "krTaktoraTools.moc"

int TitleWidth(const QWidget* window)
{
    QFont font = window->font();
    font.setBold(true);
    // Icon, minimise, maximise and close, with the title bar's own margins.
    constexpr int ButtonsAndIcon = 120;
    return QFontMetrics(font).horizontalAdvance(window->windowTitle()) + ButtonsAndIcon;
}

void FitTitle(QWidget* window)
{
    const int needed = TitleWidth(window);
    auto* column = qobject_cast<QBoxLayout*>(window->layout());
    if (column && column->sizeConstraint() == QLayout::SetFixedSize &&
        column->direction() == QBoxLayout::TopToBottom) {
        // The layout sizes such a window itself: a strut widens what it lays out.
        const QMargins margins = column->contentsMargins();
        column->addStrut(needed - margins.left() - margins.right());
        column->activate();
        return;
    }
    if (window->minimumWidth() < needed && window->maximumWidth() >= needed)
        window->setMinimumWidth(needed);
    if (window->width() < needed && window->maximumWidth() >= needed)
        window->resize(needed, window->height());
}
