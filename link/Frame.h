// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QtGlobal>

// The five meaningful bytes of a request or an answer; the check byte is added on the wire only.
struct FrameFields
{
    quint8 controller = 0;
    quint8 command = 0;
    quint8 data1 = 0;
    quint8 data2 = 0;
    quint8 data3 = 0;

    friend bool operator==(const FrameFields& a, const FrameFields& b)
    {
        return a.controller == b.controller && a.command == b.command && a.data1 == b.data1 &&
               a.data2 == b.data2 && a.data3 == b.data3;
    }
    friend bool operator!=(const FrameFields& a, const FrameFields& b) { return !(a == b); }
};

constexpr int FrameSize = 6;

quint8 frameCheckByte(const FrameFields& f);
QByteArray encodeFrame(const FrameFields& f);

// Takes the first six bytes of `bytes`; false when there are fewer or the check byte is wrong.
bool decodeFrame(const QByteArray& bytes, FrameFields& out);

// "1, 2, 0, 0, 0, 3": how frames appear in logs and test failures.
QString frameToString(const QByteArray& sixBytes);
