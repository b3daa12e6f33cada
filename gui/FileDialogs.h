// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SettingsKeys.h"

#include <QString>

class QWidget;

// Open and save dialogs that start where the user last was for that kind of file: the folder
// kept under the kind's key (SettingsKeys.h), the first time the documents folder.
namespace FileDialogs {

// The kept folder while it still exists; otherwise the documents folder, or the home folder on
// a system that has none.
QString startFolder(const Settings::Key& kind);
// Keeps the folder of a chosen file for the next dialog of that kind; an empty path (the dialog
// was cancelled) keeps nothing.
void remember(const Settings::Key& kind, const QString& chosenPath);

// The suffix of a filter's first pattern: "csv" for "Datenblatt (*.csv)", empty for "*".
QString defaultSuffix(const QString& filter);

// The chosen file, or empty when the user cancelled. A suggested name is filled in; a name typed
// without a suffix gets the filter's, before the dialog asks whether to replace an existing file.
QString askSave(QWidget* parent, const Settings::Key& kind, const QString& caption, const QString& filter,
                const QString& suggestedName = QString());
QString askOpen(QWidget* parent, const Settings::Key& kind, const QString& caption, const QString& filter);

} // namespace FileDialogs
