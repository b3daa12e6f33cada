// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimProcess.h"

#include "ControllerLink.h"
#include "krTaktoraTools.h"
#include "PortDirectory.h"

#include <QDeadlineTimer>
#include <QFile>

SimProcess::SimProcess(const QStringList& arguments) : m_arguments(arguments)
{}

SimProcess::~SimProcess()
{
    kill();
}

QString SimProcess::logPath() const
{
    return m_dir.filePath(QStringLiteral("taktora-sim.log"));
}

bool SimProcess::start(int timeoutMs)
{
#ifndef TAKTORA_SIM_PATH
    Q_UNUSED(timeoutMs)
    m_error = QStringLiteral("taktora-sim is not part of this build");
    return false;
#else
    m_process.start(QStringLiteral(TAKTORA_SIM_PATH),
                    QStringList{QStringLiteral("--log"), logPath()} + m_arguments);
    if (!m_process.waitForStarted(timeoutMs)) {
        m_error = QStringLiteral("taktora-sim does not start: ") + m_process.errorString();
        return false;
    }
    // An emulator that refuses its command line ends before it prints anything.
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_process.canReadLine() && !deadline.hasExpired() &&
           m_process.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())))) {
    }
    if (!m_process.canReadLine()) {
        kill();
        m_error = QStringLiteral("taktora-sim printed no device path: ") +
                  QString::fromLocal8Bit(m_process.readAllStandardError()).trimmed();
        return false;
    }
    m_devicePath = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    return true;
#endif
}

void SimProcess::registerAs(const QString& comName) const
{
    PortDirectory::registerDevice(comName, m_devicePath);
}

bool SimProcess::attachAs(ControllerLink& link, const QString& comName, bool quiet)
{
    if (!start())
        return false;
    registerAs(comName);
    link.setPortName(comName);
    return OpenControllerPort(link, comName, quiet);
}

QStringList SimProcess::logLines() const
{
    QFile file(logPath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QList<FrameFields> SimProcess::requests() const
{
    QList<FrameFields> frames;
    for (const QString& line : logLines()) {
        const QStringList b = line.mid(2).split(QStringLiteral(", "));
        auto byte = [&b](int i) { return static_cast<quint8>(b[i].toUInt()); };
        if (line.startsWith(QLatin1String("> ")) && b.size() == FrameSize)
            frames.append(FrameFields{byte(0), byte(1), byte(2), byte(3), byte(4)});
    }
    return frames;
}

bool SimProcess::terminate(int timeoutMs)
{
    if (m_process.state() == QProcess::NotRunning)
        return false;
    m_process.terminate();
    if (!m_process.waitForFinished(timeoutMs)) {
        kill();
        return false;
    }
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

void SimProcess::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}
