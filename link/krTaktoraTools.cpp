// SPDX-License-Identifier: GPL-3.0-or-later
#include "krTaktoraTools.h"

#include "CommandSet.h"
#include "ControllerLink.h"
#include "LineClient.h"
#include "LinePrompter.h"
#include "LineReady.h"
#include "MessageBox.h"
#include "PortDirectory.h"
#include "PortErrors.h"
#include "QtSerialPort.h"
#include "TaktoraVersion.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <memory>

namespace {

// Until every window holds the link itself, the program's one link lives here, and the old
// operations reach it through one screen source that needs no check.
struct ProgramLinkState
{
    ControllerLink* link = nullptr;
    LineClient* screen = nullptr;

    struct Prompter final : LinePrompter
    {
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
        void portFailed(const QString&, const PortError& error) override { ShowPortAccessError(error); }
    } prompter;
};

ProgramLinkState& programLink()
{
    static ProgramLinkState state;
    if (!state.link) {
        state.link = new ControllerLink;
        state.link->setPrompter(&state.prompter);
        state.screen =
            new LineClient(*state.link, QStringLiteral("Programm"), LineClient::Kind::Screen, state.link);
        state.screen->setNeedsCheck(false);
        // The port is a QObject inside; it must go before the application object does.
        qAddPostRoutine([] {
            delete programLink().link;
            programLink().link = nullptr;
        });
    }
    return state;
}

QSettings openSettings()
{
    return QSettings(QStringLiteral("KORADIN"), QStringLiteral("KORADIN"));
}

QString sectionOrTitle(const QString& section)
{
    return section.isEmpty() ? ProgramTitle() : section;
}

const QScreen* screenOf(const QWidget* window)
{
    return window && window->screen() ? window->screen() : QGuiApplication::primaryScreen();
}

} // namespace

ControllerLink& ProgramLink()
{
    return *programLink().link;
}

QString ProgramTitle()
{
    return QString::fromUtf8(TaktoraVersion::ProgramTitle);
}

QString PortName()
{
    return ProgramLink().portName();
}

void SetPortName(const QString& name)
{
    ProgramLink().setPortName(name);
}

bool IsSimulation()
{
    return ProgramLink().isSimulation();
}

SerialPortInterface& ControllerPort()
{
    return ProgramLink().port();
}

void InstallControllerPort(SerialPortInterface* port)
{
    ProgramLink().setPort(port);
}

void InstallClock(MonotonicClock* clock)
{
    ProgramLink().setClock(clock);
}

bool OpenControllerPort(const QString& name, bool quiet)
{
    if (ProgramLink().open(name))
        return true;
    if (!quiet)
        ShowErrorReport(openErrorText(name, ProgramLink().lastOpenError()));
    return false;
}

void ShowPortAccessError(const PortError& error)
{
    ShowErrorReport(QStringLiteral("Fehler beim Zugriff auf ") + PortName() +
                    QStringLiteral("\n\nBitte überprüfen Sie den eingestellten COM-Port.\n\n(Fehler ") +
                    QString::number(error.number) + QStringLiteral(" - ") + error.text + QStringLiteral(")"));
}

void CloseControllerPort()
{
    ProgramLink().close();
}

bool ControllerTransaction(FrameFields& frame, int attempts, bool showErrors, int timeoutSeconds)
{
    return programLink().screen->ControllerTransaction(frame, attempts, showErrors, timeoutSeconds);
}

bool ControllerTransaction(quint8& controller, quint8& command, quint8& data1, quint8& data2, quint8& data3,
                           int attempts, bool showErrors, int timeoutSeconds)
{
    FrameFields frame{controller, command, data1, data2, data3};
    if (!ControllerTransaction(frame, attempts, showErrors, timeoutSeconds))
        return false;
    controller = frame.controller;
    command = frame.command;
    data1 = frame.data1;
    data2 = frame.data2;
    data3 = frame.data3;
    return true;
}

void WaitSeconds(double s)
{
    if (!(s > 0))
        return;
    QEventLoop loop;
    QTimer::singleShot(qint64(s * 1000.0), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool ScreenRate::due()
{
    if (remainingMs() > 0)
        return false;
    restart();
    return true;
}

qint64 ScreenRate::remainingMs() const
{
    return m_started ? qBound<qint64>(0, IntervalMs - (m_clock.nowMs() - m_lastMs), IntervalMs) : 0;
}

void ScreenRate::restart()
{
    m_started = true;
    m_lastMs = m_clock.nowMs();
}

void ScreenRateEvents::take()
{
    if (m_rate.due())
        QCoreApplication::processEvents(m_flags);
}

QString ReadSetting(const QString& key, const QString& defaultValue, const QString& section)
{
    QSettings settings = openSettings();
    settings.beginGroup(sectionOrTitle(section));
    const QVariant value = settings.value(key);
    // A hand-edited file may hold a list ("a, b"); read it back as the text it was.
    const QString text = value.userType() == QMetaType::QStringList
                             ? value.toStringList().join(QStringLiteral(", "))
                             : value.toString();
    return text.isEmpty() ? defaultValue : text;
}

void WriteSetting(const QString& key, const QString& value, const QString& section)
{
    QSettings settings = openSettings();
    settings.beginGroup(sectionOrTitle(section));
    settings.setValue(key, value);
}

QString SupportContactBlock()
{
    return QStringLiteral("KORADIN Modellbahnelektronik – Kundendienst Taktora\n"
                          "Telefon: +49 30 555 0142 (Mo–Fr 9–17 Uhr)\n"
                          "E-Mail: service@koradin.example");
}

QString ErrorReportText(const QString& message)
{
    QString text = ReplaceAll(message, QStringLiteral("$"), QStringLiteral("\n"));
    bool isNumber = false;
    const int number = text.trimmed().toInt(&isNumber);
    if (isNumber)
        text = QStringLiteral("Fehler ") + QString::number(number) + QStringLiteral(": ") +
               portErrorDescription(number);
    return text + QStringLiteral("\n\nFür Rückfragen und Informationen stehen wir ") +
           QStringLiteral("Ihnen gerne zur Verfügung:\n\n") + SupportContactBlock();
}

void ShowErrorReport(const QString& message, const QString& title)
{
    MessageBox::warning(nullptr, ErrorReportText(message), title);
}

void ShowErrorReport(int errorNumber, const QString& title)
{
    ShowErrorReport(QString::number(errorNumber), title);
}

bool LineChecked(const LineClient& client, QWidget* window)
{
    if (!Line::awaitsCheck(client))
        return true;
    MessageBox::warning(window, Line::checkFirstText());
    return false;
}

QString ReplaceAll(const QString& text, const QString& search, const QString& replacement)
{
    if (search.isEmpty())
        return text;
    QString result = text;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = result.indexOf(search, from);
        if (at < 0)
            return result;
        result.replace(at, search.size(), replacement);
        from = at + replacement.size(); // the replacement itself is never searched again
    }
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
