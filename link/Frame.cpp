// SPDX-License-Identifier: GPL-3.0-or-later
#include "Frame.h"

#include <QString>
#include <QStringList>

quint8 frameCheckByte(const FrameFields& f)
{
    return static_cast<quint8>(f.controller ^ f.command ^ f.data1 ^ f.data2 ^ f.data3);
}

QByteArray encodeFrame(const FrameFields& f)
{
    QByteArray bytes(FrameSize, '\0');
    bytes[0] = static_cast<char>(f.controller);
    bytes[1] = static_cast<char>(f.command);
    bytes[2] = static_cast<char>(f.data1);
    bytes[3] = static_cast<char>(f.data2);
    bytes[4] = static_cast<char>(f.data3);
    bytes[5] = static_cast<char>(frameCheckByte(f));
    return bytes;
}

bool decodeFrame(const QByteArray& bytes, FrameFields& out)
{
    if (bytes.size() < FrameSize)
        return false;
    FrameFields f;
    f.controller = static_cast<quint8>(bytes[0]);
    f.command = static_cast<quint8>(bytes[1]);
    f.data1 = static_cast<quint8>(bytes[2]);
    f.data2 = static_cast<quint8>(bytes[3]);
    f.data3 = static_cast<quint8>(bytes[4]);
    if (frameCheckByte(f) != static_cast<quint8>(bytes[5]))
        return false;
    out = f;
    return true;
}

QString frameToString(const QByteArray& sixBytes)
{
    QStringList parts;
    for (char c : sixBytes)
        parts << QString::number(static_cast<quint8>(c));
    return parts.join(QStringLiteral(", "));
}
