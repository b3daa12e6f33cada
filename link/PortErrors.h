// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

struct PortError;

// Error numbers the user sees in port messages. 68 and 8002 have fixed meanings for the user;
// the others follow the classic serial-port control's numbering so that support recognises them.
namespace PortErrorNumber {
constexpr int DeviceUnavailable = 68;
constexpr int PermissionDenied = 70;
constexpr int InvalidPortNumber = 8002;
constexpr int PortAlreadyOpen = 8005;
constexpr int PortNotOpen = 8018;
constexpr int ReadFailed = 8020;
constexpr int WriteFailed = 8021;
constexpr int UnknownError = 8099;
} // namespace PortErrorNumber

// The platform's description of an error number, in German.
QString portErrorDescription(int number);

// What the user is told when a port does not open: "Fehler beim Zugriff auf COM3", an empty line,
// and the error's number with what it means. Whoever shows it adds the support paragraph
// (ShowErrorReport).
QString openErrorText(const QString& portName, const PortError& error);
