// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Frame.h"

#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The Controller emulator taktora-sim as a child process of a test: started with the test's
// arguments and a log file of its own, reached through its pseudo-terminal, killed when the
// object goes.
class ControllerLink;

class SimProcess
{
public:
    explicit SimProcess(const QStringList& arguments = {});
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts the emulator and waits for the device path on its first line. False (see
    // errorString) when it is not built, does not start or prints nothing in time.
    bool start(int timeoutMs = 5000);
    QString errorString() const { return m_error; }
    QString devicePath() const { return m_devicePath; }
    qint64 pid() const { return m_process.processId(); }

    // Points the COM name at the emulator in the settings group "Ports".
    void registerAs(const QString& comName) const;
    // Starts, registers as comName, makes it the program's port and opens it as the program does.
    bool attachAs(ControllerLink& link, const QString& comName, bool quiet = true);

    // The log as the emulator wrote it so far, and the requests in it (lines "> ...").
    QStringList logLines() const;
    QList<FrameFields> requests() const;

    // SIGTERM and wait: true when the emulator ended by itself with exit code 0.
    bool terminate(int timeoutMs = 5000);
    // SIGKILL and wait: the device vanishes as with a pulled cable.
    void kill();

private:
    QString logPath() const;

    QStringList m_arguments;
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_devicePath;
    QString m_error;
};
