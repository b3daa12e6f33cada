// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Why a request did not get through, in words for whoever asked: a phone, a browser, a window's
// status line. The texts are the same for every source, so a user hears one story.

#include <QString>

struct Outcome;

namespace Line {

// Empty when the request went through, was answered in simulation mode, or was replaced by a
// newer one of the same source.
QString failureText(const Outcome& outcome, const QString& portName);

// The single texts, for the sources that need one without an outcome.
QString notCheckedText();
QString noAnswerText(int controller);
QString portErrorText(const QString& portName, const QString& error);
QString busyText(const QString& reason);
QString overflowText();

} // namespace Line
