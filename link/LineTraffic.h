// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Frame.h"

#include <QMetaType>
#include <QString>

// What came of one attempt of an exchange, as the traffic monitor shows it.
enum class AttemptOutcome { Answered, Failed, NoAnswer };

// What one transaction did, told once it has returned (after any box it showed).
struct TransactionRecord
{
    FrameFields request;
    FrameFields result; // the answer when accepted, else the request
    bool accepted = false;
    int attempts = 0; // as the caller passed them
    bool showErrors = false;
    int timeoutSeconds = 0;
    qint64 elapsedMs = 0; // on the link's clock
    QString origin;       // the source that asked: the window, a phone
};

Q_DECLARE_METATYPE(FrameFields)
Q_DECLARE_METATYPE(TransactionRecord)
