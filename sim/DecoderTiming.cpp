// SPDX-License-Identifier: GPL-3.0-or-later
#include "DecoderTiming.h"

#include "CommandSet.h"

#include <QStringList>

int DecoderTiming::busyMs(const FrameFields& request, const FrameFields& answer) const
{
    switch (request.command) {
    case Command::WriteCvByte:
    case Command::WriteCvBit:
    case Command::WriteRegister:
        return writeMs;
    case Command::VerifyCvByte:
    case Command::VerifyCvBit:
    case Command::VerifyRegister: {
        const bool acknowledged = answer.data1 != Answer::ProgrammingFailed ||
                                  answer.data2 != Answer::ProgrammingFailed ||
                                  answer.data3 != Answer::ProgrammingFailed;
        return acknowledged ? verifyAckMs : verifyNoAckMs;
    }
    default:
        return 0;
    }
}

bool parseVerifyTiming(const QString& text, DecoderTiming& timing, QString& error)
{
    const QStringList parts = text.split(QLatin1Char(','));
    bool ackOk = false;
    bool noAckOk = false;
    const int ack = parts.value(0).trimmed().toInt(&ackOk);
    const int noAck = parts.value(1).trimmed().toInt(&noAckOk);
    if (parts.size() != 2 || !ackOk || !noAckOk || ack < 0 || noAck < 0 || ack > 60000 || noAck > 60000) {
        error = QStringLiteral("verify-ms \"%1\": expected ACK,NOACK in milliseconds, 0 to 60000").arg(text);
        return false;
    }
    timing.verifyAckMs = ack;
    timing.verifyNoAckMs = noAck;
    return true;
}
