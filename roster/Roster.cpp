// SPDX-License-Identifier: GPL-3.0-or-later
#include "Roster.h"

#include "LinkTools.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

using Roster::Entry;

namespace {

const QString IndexName = QStringLiteral("roster.xml");
const QString LocoFolder = QStringLiteral("roster");

QString writeFile(const QString& path, const QByteArray& data)
{
    const QString why = WriteWholeFile(path, data);
    return why.isEmpty() ? why
                         : QStringLiteral("Die Datei ") + QDir::toNativeSeparators(path) +
                               QStringLiteral(" konnte nicht geschrieben werden: ") + why;
}

} // namespace

LocoRoster::LocoRoster(const QString& folder, QObject* parent) : QObject(parent), m_folder(folder)
{}

QString LocoRoster::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QStringList LocoRoster::load()
{
    Jmri::Reading reading = readFolder(m_folder);
    m_entries = reading.entries;
    emit changed();
    return reading.problems;
}

const Entry* LocoRoster::entryForNumber(int number) const
{
    return Roster::entryForNumber(m_entries, number);
}

QString LocoRoster::save(QList<Entry> entries)
{
    QStringList obsolete;
    for (const Entry& old : m_entries) {
        const bool kept = std::any_of(entries.cbegin(), entries.cend(), [&](const Entry& e) {
            return e.fileName.compare(old.fileName, Qt::CaseInsensitive) == 0;
        });
        if (!kept && !old.fileName.isEmpty())
            obsolete << old.fileName;
    }
    QString error = writeFolder(m_folder, entries, obsolete);
    if (!error.isEmpty())
        return error;
    m_entries = entries;
    emit changed();
    return QString();
}

Jmri::Reading LocoRoster::readFolder(const QString& folder)
{
    const QDir dir(folder);
    Jmri::Reading result;
    QFile index(dir.filePath(IndexName));
    if (!index.exists())
        return result;
    if (!index.open(QIODevice::ReadOnly)) {
        result.problems << IndexName + QStringLiteral(": ") + index.errorString();
        return result;
    }
    const Jmri::Reading listed = Jmri::readIndex(index.readAll(), IndexName);
    result.problems = listed.problems;

    const auto readLocoFile = [&](const QString& fileName) -> Jmri::Reading {
        const QString label = LocoFolder + QLatin1Char('/') + fileName;
        QFile file(dir.filePath(label));
        if (!file.open(QIODevice::ReadOnly))
            return {{}, {label + QStringLiteral(": ") + file.errorString()}, true};
        Jmri::Reading own = Jmri::readLocoFile(file.readAll(), label);
        for (Entry& e : own.entries)
            e.fileName = fileName;
        return own;
    };

    if (listed.damaged) {
        // The index is damaged: the loco files each say what they hold.
        const QStringList files =
            QDir(dir.filePath(LocoFolder)).entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name);
        for (const QString& fileName : files) {
            const Jmri::Reading own = readLocoFile(fileName);
            for (const Entry& e : own.entries)
                if (!Roster::entryForName(result.entries, e.id))
                    result.entries << e;
            result.problems << own.problems;
        }
        return result;
    }
    for (const Entry& listedEntry : listed.entries) {
        if (listedEntry.fileName.isEmpty() ||
            !QFile::exists(dir.filePath(LocoFolder + '/' + listedEntry.fileName))) {
            result.entries << listedEntry;
            continue;
        }
        const Jmri::Reading own = readLocoFile(listedEntry.fileName);
        result.problems << own.problems;
        // A damaged loco file still leaves what the index knows of the loco.
        result.entries << (own.damaged || own.entries.isEmpty() ? listedEntry : own.entries.first());
    }
    return result;
}

QString LocoRoster::writeFolder(const QString& folder, QList<Entry>& entries, const QStringList& obsolete)
{
    const QDir dir(folder);
    if (!dir.mkpath(LocoFolder))
        return QStringLiteral("Der Ordner ") + QDir::toNativeSeparators(dir.filePath(LocoFolder)) +
               QStringLiteral(" konnte nicht angelegt werden.");
    QStringList taken;
    for (const Entry& e : entries)
        taken << e.fileName;
    for (Entry& e : entries) {
        if (e.fileName.isEmpty()) {
            e.fileName = Roster::fileNameFor(e.id, taken);
            taken << e.fileName;
        }
        QString error = writeFile(dir.filePath(LocoFolder + '/' + e.fileName), Jmri::writeLocoFile(e));
        if (!error.isEmpty())
            return error;
    }
    QString error = writeFile(dir.filePath(IndexName), Jmri::writeIndex(entries));
    if (!error.isEmpty())
        return error;
    for (const QString& fileName : obsolete)
        if (!taken.contains(fileName, Qt::CaseInsensitive))
            QFile::remove(dir.filePath(LocoFolder + '/' + fileName));
    return QString();
}
