// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QString>

// The images of the loco list's toolbar buttons, drawn by the program so they scale with the
// screen: a restart arrow, a plus, a cross and three speed-step badges. An unknown key gets an
// empty icon.
QIcon locoToolbarIcon(const QString& key);

constexpr int LocoToolbarIconWidth = 24;
constexpr int LocoToolbarIconHeight = 16;
