// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The plain operations of the shared module that need no window: the settings store, the wait
// that keeps the windows alive, the screen rate of long reads, the texts of the error report.

#include "SettingsKeys.h"

#include <QEventLoop>
#include <QString>

class MonotonicClock;

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
// A key of SettingsKeys.h, in the program's group unless another is named.
QString ReadSetting(const Settings::Key& key, const char* section = Settings::Section);
void WriteSetting(const Settings::Key& key, const QString& value, const char* section = Settings::Section);

// The full text the error report shows: "$" is a line break, an error number becomes
// "Fehler n: description", and the support paragraph follows.
QString ErrorReportText(const QString& message);
QString SupportContactBlock();
// "Fehler beim Zugriff auf COM3 ... Bitte überprüfen Sie den eingestellten COM-Port.": a port
// that fails while in use (a pulled cable).
QString PortAccessErrorText(const QString& portName, int errorNumber, const QString& errorText);

// Every occurrence replaced; a replacement that contains the search text is not searched again.
QString ReplaceAll(const QString& text, const QString& search, const QString& replacement);

QString ProgramTitle();

// Writes the file whole or not at all (QSaveFile): a full disk or a crash halfway leaves the older
// file as it was. The reason on failure, empty on success.
QString WriteWholeFile(const QString& path, const QByteArray& data);
