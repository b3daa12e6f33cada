// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The shared module as the windows use it: the plain operations of LinkTools.h, and what needs
// the screen: the error report box, the port boxes, the questions a failing transaction puts to
// the user, and where windows go on the screen.

#include "LinkTools.h"

#include <QRect>
#include <QString>

class ControllerLink;
class LineClient;
class QColor;
class QLabel;
class QPushButton;
class QWidget;
struct PortError;

// "$" in the message is a line break; an error number becomes "Fehler n: description".
void ShowErrorReport(const QString& message, const QString& title = QString());
void ShowErrorReport(int errorNumber, const QString& title = QString());
// The report of a port that fails while in use (a pulled cable): "Fehler beim Zugriff auf COM3".
void ShowPortAccessError(const QString& portName, const PortError& error);

// Opens the port on the line; unless quiet, a port that does not open is reported in a box.
bool OpenControllerPort(ControllerLink& link, const QString& name, bool quiet);

// The boxes of the screen's transactions ("Controller n antwortet nicht." with Retry and
// Cancel, the port errors) for this line, for as long as it lives.
void AttachScreenPrompts(ControllerLink& link);

// True when the window's requests may go out on the line; otherwise tells the user, over
// `window`, that the Controller has to be checked first (after the port was lost or the options
// changed), and nothing is to be sent.
bool LineChecked(const LineClient& client, QWidget* window);

// 100 twips below and right of the screen's centre, then kept on the screen (KeepOnScreen).
void CenterWindow(QWidget* window);
// The part of the window's screen that windows may use: the screen without panels and taskbars.
QRect AvailableScreenArea(const QWidget* window);
// Moves a top-level window so that its whole frame lies inside AvailableScreenArea. A window
// larger than the area keeps its top left corner inside, so its title bar stays within reach.
// Every window runs it before it shows, so that no button opens beyond the screen's edge.
void KeepOnScreen(QWidget* window);
int TwipsToPixels(int twips);
// The width a window needs for its whole title beside the window system's icon and buttons
// (the title bar's font is bold on most desktops); a narrower window gets an elided title.
int TitleWidth(const QWidget* window);
// Widens the window, and its least width, to TitleWidth; never narrows it.
void FitTitle(QWidget* window);

// A push button that tests and style sheets find by its name. It is never a default button: Enter
// in a window's fields must not start a long read or a write.
QPushButton* NamedButton(const QString& name, const QString& text, QWidget* parent);

// A status line's text in the colour that tells how things stand (working, done, failed).
void ShowStatusText(QLabel* label, const QString& text, const QColor& colour);
