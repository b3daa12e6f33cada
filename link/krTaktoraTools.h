// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The shared module of plain operations that every window uses: the Controller transaction,
// the port, the settings store, the error report and window centring.

#include "Frame.h"

#include <QEventLoop>
#include <QRect>
#include <QString>

#include <functional>

class ControllerLink;
class LineClient;
class QWidget;
class SerialPortInterface;
class MonotonicClock;
struct PortError;

// The program's one owner of the Controller line.
ControllerLink& ProgramLink();

// ---- The port and the program-wide port name ----

// "COM1".."COM24", or "NUL" for simulation mode.
QString PortName();
void SetPortName(const QString& name);
bool IsSimulation(); // PortName() is "NUL", in any case

// The one serial port of the program. Until a window installs its own, a real serial port is
// used; tests install a double. The caller keeps ownership; install nullptr to go back.
SerialPortInterface& ControllerPort();
void InstallControllerPort(SerialPortInterface* port);
void InstallClock(MonotonicClock* clock);

bool OpenControllerPort(const QString& name, bool quiet);
void CloseControllerPort();
// The report of a port that fails while in use (a pulled cable): "Fehler beim Zugriff auf COM3".
void ShowPortAccessError(const PortError& error);

// ---- The transaction ----

// Sends one frame and waits for the answer. True: the five bytes hold the answer. False: they
// are unchanged. attempts 0 means 3.
bool ControllerTransaction(quint8& controller, quint8& command, quint8& data1, quint8& data2, quint8& data3,
                           int attempts, bool showErrors, int timeoutSeconds);
bool ControllerTransaction(FrameFields& frame, int attempts, bool showErrors, int timeoutSeconds);

// ---- Waits, settings, messages, windows ----

// Lets the windows run for s seconds.
void WaitSeconds(double s);

// How often a long series of exchanges (the loco list read, a CV read, a register search, the
// decoder sheet's reads) lets the windows catch up: no more often than a screen shows frames.
// That is often enough to repaint and to hear a click on "Abbruch", and on a fast line far less
// often than after every exchange, which would cost as much as the exchanges themselves. Timed on
// the clock it is given: the line's (ControllerLink::clock()).
class ScreenRate
{
public:
    static constexpr qint64 IntervalMs = 15;

    explicit ScreenRate(const MonotonicClock& clock) : m_clock(clock) {}

    // True on the first call, then whenever IntervalMs have passed since it last was (or since
    // restart()).
    bool due();
    // How long until due() is true again; 0 when it is now.
    qint64 remainingMs() const;
    // The interval starts now.
    void restart();

private:
    const MonotonicClock& m_clock;
    bool m_started = false;
    qint64 m_lastMs = 0;
};

// Processes the pending window events when the screen rate allows it.
class ScreenRateEvents
{
public:
    explicit ScreenRateEvents(const MonotonicClock& clock,
                              QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents)
        : m_flags(flags), m_rate(clock)
    {}
    void take();

private:
    QEventLoop::ProcessEventsFlags m_flags;
    ScreenRate m_rate;
};

QString ReadSetting(const QString& key, const QString& defaultValue, const QString& section);
void WriteSetting(const QString& key, const QString& value, const QString& section);

// "$" in the message is a line break; an error number becomes "Fehler n: description".
void ShowErrorReport(const QString& message, const QString& title = QString());
void ShowErrorReport(int errorNumber, const QString& title = QString());
// The full text ShowErrorReport shows (without the box), for the callers that build on it.
QString ErrorReportText(const QString& message);
QString SupportContactBlock();

// True when the window's requests may go out on the line; otherwise tells the user, over
// `window`, that the Controller has to be checked first (after the port was lost or the options
// changed), and nothing is to be sent.
bool LineChecked(const LineClient& client, QWidget* window);

QString ReplaceAll(const QString& text, const QString& search, const QString& replacement);

// 100 twips below and right of the screen's centre, then kept on the screen (KeepOnScreen).
void CenterWindow(QWidget* window);
// The part of the window's screen that windows may use: the screen without panels and taskbars.
QRect AvailableScreenArea(const QWidget* window);
// Moves a top-level window so that its whole frame lies inside AvailableScreenArea. A window
// larger than the area keeps its top left corner inside, so its title bar stays within reach.
// Every window runs it before it shows, so that no button opens beyond the screen's edge.
void KeepOnScreen(QWidget* window);
int TwipsToPixels(int twips);

QString ProgramTitle();
