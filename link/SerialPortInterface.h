// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// What the program needs of a serial port, and nothing more: the transaction and the options
// dialog work against this, so a test double can stand in for the hardware.
struct PortError
{
    int number = 0; // 0: no error; see PortErrors.h for the numbers
    QString text;   // German description for the user
};

class SerialPortInterface
{
public:
    virtual ~SerialPortInterface() = default;

    // Resolves the COM name to a device, sets 115200,n,8,1 without handshake and opens it.
    virtual bool open(const QString& comName) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Discards what waits in the receive and the transmit buffer.
    virtual void clearBuffers() = 0;
    virtual bool write(const QByteArray& bytes) = 0;
    // Blocks until the transmit buffer is empty or msecs have passed; true when it is empty.
    virtual bool waitForTransmitted(int msecs) = 0;
    virtual qint64 bytesWaiting() = 0;
    // Sleeps until further bytes arrive or msecs have passed; true when bytes arrived.
    virtual bool waitForBytes(int msecs) = 0;
    virtual QByteArray readAll() = 0;

    virtual PortError lastError() const = 0;
};

// Every timeout of the link is measured on this clock, so it survives wall-clock jumps and a
// test can let time pass without waiting for it.
class MonotonicClock
{
public:
    virtual ~MonotonicClock() = default;
    virtual qint64 nowMs() const = 0;
};
