// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeSerialPort.h"

#include "ControllerLink.h"
#include "krTaktoraTools.h"
#include "PortErrors.h"

QList<FrameFields> FakeSerialPort::writtenFrames() const
{
    QList<FrameFields> frames;
    for (const QByteArray& b : m_written)
        frames << (b.size() < FrameSize
                       ? FrameFields{}
                       : FrameFields{quint8(b[0]), quint8(b[1]), quint8(b[2]), quint8(b[3]), quint8(b[4])});
    return frames;
}

void FakeSerialPort::resetLog()
{
    m_written.clear();
    m_reads.clear();
    m_openedNames.clear();
}

void FakeSerialPort::setError(int number)
{
    m_error.number = number;
    m_error.text = number ? portErrorDescription(number) : QString();
}

bool FakeSerialPort::open(const QString& comName)
{
    setError(0);
    m_openedNames << comName;
    const bool exists = m_existing.contains(comName, Qt::CaseInsensitive);
    if (!exists) {
        setError(m_openError);
        return false;
    }
    m_open = true;
    m_rx.clear();
    return true;
}

void FakeSerialPort::clearBuffers()
{
    m_rx.clear();
    m_pending.clear();
}

bool FakeSerialPort::write(const QByteArray& bytes)
{
    setError(0);
    if (!m_open) {
        setError(PortErrorNumber::PortNotOpen);
        return false;
    }
    m_written << bytes;
    if (!m_answers.isEmpty())
        m_pending += m_answers.dequeue();
    else if (m_responder)
        m_pending += m_responder(bytes);
    return true;
}

bool FakeSerialPort::waitForTransmitted(int)
{
    return true;
}

bool FakeSerialPort::waitForBytes(int msecs)
{
    if (!m_arrivals.isEmpty()) {
        Arrival& next = m_arrivals.first();
        const qint64 waited = qMin<qint64>(next.afterMs, msecs);
        m_clock->advance(waited);
        next.afterMs -= waited;
        if (next.afterMs > 0)
            return false;
        m_rx += m_arrivals.takeFirst().bytes;
        return true;
    }
    if (!m_pending.isEmpty()) {
        m_rx += m_pending;
        m_pending.clear();
        return true;
    }
    m_clock->advance(msecs);
    return false;
}

QByteArray FakeSerialPort::readAll()
{
    QByteArray bytes;
    bytes.swap(m_rx);
    m_reads << bytes;
    return bytes;
}

FakeLink::FakeLink(const QString& portName)
{
    AttachScreenPrompts(link);
    screen.setNeedsCheck(false);
    port.setExistingPorts({portName});
    link.setClock(&clock);
    link.setPort(&port);
    link.setPortName(portName);
    port.open(portName);
    port.resetLog();
}

FakeLink::~FakeLink()
{
    link.setPort(nullptr);
    link.setClock(nullptr);
}

void openChecked(ControllerLink& link, FakeSerialPort& port, FakeClock& clock)
{
    port.setExistingPorts({QStringLiteral("COM3")});
    link.setWatchingDevices(false);
    link.setPort(&port);
    link.setClock(&clock);
    link.setPortName(QStringLiteral("COM3"));
    link.open(QStringLiteral("COM3"));
    link.setChecked(1);
}
