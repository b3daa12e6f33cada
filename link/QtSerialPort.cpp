// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtSerialPort.h"

#include "Frame.h"
#include "PortDirectory.h"
#include "PortErrors.h"

int QtSerialPort::errorNumberFor(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::TimeoutError:
        return 0;
    case QSerialPort::DeviceNotFoundError:
        return PortErrorNumber::InvalidPortNumber;
    case QSerialPort::PermissionError:
        return PortErrorNumber::PermissionDenied;
    case QSerialPort::OpenError:
        return PortErrorNumber::PortAlreadyOpen;
    case QSerialPort::ResourceError:
        return PortErrorNumber::DeviceUnavailable;
    case QSerialPort::NotOpenError:
        return PortErrorNumber::PortNotOpen;
    case QSerialPort::WriteError:
        return PortErrorNumber::WriteFailed;
    case QSerialPort::ReadError:
        return PortErrorNumber::ReadFailed;
    default:
        return PortErrorNumber::UnknownError;
    }
}

void QtSerialPort::setError(int number)
{
    m_error.number = number;
    m_error.text = number ? portErrorDescription(number) : QString();
}

bool QtSerialPort::open(const QString& comName)
{
    setError(0);
    if (m_port.isOpen())
        m_port.close();
    const QString device = PortDirectory::devicePath(comName);
    if (device.isEmpty()) {
        setError(PortErrorNumber::InvalidPortNumber);
        return false;
    }
    m_port.setPortName(device);
    m_port.setBaudRate(QSerialPort::Baud115200);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    // Between exchanges the window's event loop would read whatever a board sends (debug text, a
    // reset loop) into an unbounded buffer. One frame is all an exchange uses, and it empties the
    // line before it sends; what does not fit waits in the driver's bounded buffer until then.
    m_port.setReadBufferSize(FrameSize);
    if (!m_port.open(QIODevice::ReadWrite)) {
        setError(errorNumberFor(m_port.error()));
        if (!m_error.number)
            setError(PortErrorNumber::UnknownError);
        return false;
    }
    m_port.clear(QSerialPort::Input);
    return true;
}

void QtSerialPort::close()
{
    if (m_port.isOpen())
        m_port.close();
    m_port.clearError();
}

bool QtSerialPort::isOpen() const
{
    return m_port.isOpen();
}

void QtSerialPort::clearBuffers()
{
    if (m_port.isOpen())
        m_port.clear(QSerialPort::AllDirections);
}

bool QtSerialPort::write(const QByteArray& bytes)
{
    setError(0);
    if (!m_port.isOpen()) {
        setError(PortErrorNumber::PortNotOpen);
        return false;
    }
    m_port.clearError();
    if (m_port.write(bytes) != bytes.size()) {
        const int number = errorNumberFor(m_port.error());
        setError(number ? number : PortErrorNumber::WriteFailed);
        return false;
    }
    return true;
}

bool QtSerialPort::waitForTransmitted(int msecs)
{
    // QSerialPort hands bytes to the kernel only from here when no event loop runs.
    while (m_port.bytesToWrite() > 0) {
        if (!m_port.waitForBytesWritten(msecs)) {
            const int number = errorNumberFor(m_port.error());
            if (number)
                setError(number);
            return false;
        }
    }
    return true;
}

qint64 QtSerialPort::bytesWaiting()
{
    return m_port.bytesAvailable();
}

bool QtSerialPort::waitForBytes(int msecs)
{
    if (m_port.waitForReadyRead(msecs))
        return true;
    const int number = errorNumberFor(m_port.error());
    if (number)
        setError(number);
    return false;
}

QByteArray QtSerialPort::readAll()
{
    return m_port.readAll();
}

PortError QtSerialPort::lastError() const
{
    return m_error;
}
