// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileDialogs.h"

#include "LinkTools.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace FileDialogs {

QString startFolder(const Settings::Key& kind)
{
    QString kept = ReadSetting(kind);
    if (!kept.isEmpty() && QFileInfo(kept).isDir())
        return kept;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void remember(const Settings::Key& kind, const QString& chosenPath)
{
    if (!chosenPath.isEmpty())
        WriteSetting(kind, QFileInfo(chosenPath).absolutePath());
}

QString askSave(QWidget* parent, const Settings::Key& kind, const QString& caption, const QString& filter,
                const QString& suggestedName)
{
    QString start = startFolder(kind);
    if (!suggestedName.isEmpty())
        start = QDir(start).filePath(suggestedName);
    QString path = QFileDialog::getSaveFileName(parent, caption, start, filter);
    remember(kind, path);
    return path;
}

QString askOpen(QWidget* parent, const Settings::Key& kind, const QString& caption, const QString& filter)
{
    QString path = QFileDialog::getOpenFileName(parent, caption, startFolder(kind), filter);
    remember(kind, path);
    return path;
}

} // namespace FileDialogs
