// SPDX-License-Identifier: GPL-3.0-or-later
#include "BenchEmulator.h"

#include "ControllerLink.h"
#include "Isolation.h"
#include "krTaktoraTools.h"
#include "MessageBox.h"
#include "PortDirectory.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

namespace {
const QString kCom = QStringLiteral("COM9");
}

QString simPath()
{
    const QString besideUs =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("taktora-sim"));
    if (QFileInfo(besideUs).isExecutable())
        return besideUs;
#ifdef TAKTORA_SIM_PATH
    return QStringLiteral(TAKTORA_SIM_PATH);
#else
    return QString();
#endif
}

int runBenchmark(int argc, char** argv, const char* name, const std::function<int(QApplication& app)>& body)
{
    QTemporaryDir configHome;
    isolateFromTheUser(configHome);
    QApplication app(argc, argv);
    MessageBox::setTestMode(true);
    if (simPath().isEmpty()) {
        std::fprintf(stderr, "%s: taktora-sim not found\n", name);
        return 1;
    }
    return body(app);
}

BenchEmulator::BenchEmulator(const QStringList& arguments) : m_link(std::make_unique<ControllerLink>())
{
    m_process.start(simPath(), arguments);
    if (!m_process.waitForStarted(5000))
        return;
    while (!m_process.canReadLine() && m_process.waitForReadyRead(5000)) {
    }
    const QString device = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    if (device.isEmpty())
        return;
    PortDirectory::registerDevice(kCom, device);
    m_link->setPortName(kCom);
    m_ok = m_link->open(kCom);
    if (m_ok)
        link().setChecked(1);
}

ControllerLink& BenchEmulator::link() const
{
    return *m_link;
}

void BenchEmulator::stop()
{
    m_link->close();
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        m_process.waitForFinished(5000);
    }
}
