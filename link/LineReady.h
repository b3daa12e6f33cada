// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// When the line will not take a source's requests. After the port was lost or the options
// changed, nothing but the main window's check reaches the Controller; a window says so once,
// when the user starts an operation (LineChecked), rather than failing exchange by exchange.

#include "ControllerLink.h"

#include <QString>

class LineClient;

namespace Line {

// The line refused the request without sending it: the Controller must be checked first, or
// another source holds the line.
bool refused(const Outcome& outcome);
// An operation stops at such an outcome as at a port error: nothing after it would get through.
bool lost(const Outcome& outcome);

// The client would be refused for want of a check (simulation mode sends nothing anyway).
bool awaitsCheck(const LineClient& client);

QString checkFirstText(); // "Bitte zuerst den Controller prüfen."

} // namespace Line
