// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SerialPortInterface.h"

#include <QSerialPort>

// The real port: blocking I/O on a QSerialPort, driven without an event loop so that a
// transaction can block the window thread while the kernel does the waiting.
class QtSerialPort final : public SerialPortInterface
{
public:
    QtSerialPort() = default;

    bool open(const QString& comName) override;
    void close() override;
    bool isOpen() const override;
    void clearBuffers() override;
    bool write(const QByteArray& bytes) override;
    bool waitForTransmitted(int msecs) override;
    qint64 bytesWaiting() override;
    bool waitForBytes(int msecs) override;
    QByteArray readAll() override;
    PortError lastError() const override;

    // Maps Qt's error onto the numbers the user sees.
    static int errorNumberFor(QSerialPort::SerialPortError error);

private:
    void setError(int number);

    QSerialPort m_port;
    PortError m_error;
};
