#include "SimProcess.h"

#include "PortDirectory.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>

namespace {
QString logPath(const QTemporaryDir& dir)
{
    return dir.filePath(QStringLiteral("taktora-sim.log"));
}
} // namespace

SimProcess::SimProcess(const QStringList& arguments) : m_arguments(arguments)
{}

SimProcess::~SimProcess()
{
    kill();
}

bool SimProcess::start(int timeoutMs)
{
#ifndef TAKTORA_SIM_PATH
    Q_UNUSED(timeoutMs)
    m_error = QStringLiteral("taktora-sim is not part of this build");
    return false;
#else
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder for the log");
        return false;
    }
    m_process.start(QStringLiteral(TAKTORA_SIM_PATH),
                    QStringList{QStringLiteral("--log"), logPath(m_dir)} + m_arguments);
    if (!m_process.waitForStarted(timeoutMs)) {
        m_error = QStringLiteral("taktora-sim does not start: ") + m_process.errorString();
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_process.canReadLine()) {
        if (m_process.state() != QProcess::Running || deadline.hasExpired() ||
            !m_process.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())))) {
            if (m_process.canReadLine())
                break;
            m_error = QStringLiteral("taktora-sim printed no device path: ") +
                      QString::fromLocal8Bit(m_process.readAllStandardError()).trimmed();
            kill();
            return false;
        }
    }
    m_devicePath = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    return true;
#endif
}

bool SimProcess::isRunning() const
{
    return m_process.state() == QProcess::Running;
}

void SimProcess::registerAs(const QString& comName) const
{
    PortDirectory::registerDevice(comName, m_devicePath);
}

QStringList SimProcess::logLines() const
{
    QFile file(logPath(m_dir));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QList<FrameFields> SimProcess::requests() const
{
    static const QRegularExpression request(
        QStringLiteral("^> (\\d+), (\\d+), (\\d+), (\\d+), (\\d+), (\\d+)$"));
    QList<FrameFields> frames;
    for (const QString& line : logLines()) {
        const auto m = request.match(line);
        if (!m.hasMatch())
            continue;
        auto byte = [&m](int i) { return static_cast<quint8>(m.captured(i).toUInt()); };
        frames.append(FrameFields{byte(1), byte(2), byte(3), byte(4), byte(5)});
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
