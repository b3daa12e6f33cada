// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileDialogs.h"

#include "LinkTools.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace FileDialogs {

QString defaultSuffix(const QString& filter)
{
    static const QRegularExpression firstPattern(QStringLiteral("\\*\\.(\\w+)"));
    return firstPattern.match(filter).captured(1);
}

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
    // The dialog adds the suffix itself, so that "lok1823" over an existing lok1823.csv is asked
    // about like any other file it would replace.
    QFileDialog dialog(parent, caption, start, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix(filter));
    QString path = dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
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
