// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace Dashboard {

// The manual's file name, in the build folder and wherever it is installed.
QString manualFileName();

// Where the manual of the program in programDir is: beside the program (build tree, a copied
// folder, Windows) or else in the documentation folder of an installed program
// (<prefix>/bin/taktora reads <prefix>/share/doc/taktora/). Empty when neither holds it.
QString findManual(const QString& programDir);

} // namespace Dashboard
