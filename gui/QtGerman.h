// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Qt's own texts in German whatever the desktop's language, as the program speaks it: the file
// dialogs, a text field's context menu, the buttons of a message box. Call once the application
// object exists. False when Qt's German translation is not installed (on Debian it comes with
// qt6-translations-l10n); Qt's texts then stay as they are.
bool LoadQtGerman();
