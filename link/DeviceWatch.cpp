// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceWatch.h"

#include <QDir>
#include <QFileInfo>

namespace {
constexpr int kRetryMs = 1000;
constexpr int kRetries = 30;

// The device's folder, or the nearest one above it that exists: /dev/serial/by-id itself goes
// when the last such device goes.
QString nearestFolder(QString folder)
{
    while (!QFileInfo(folder).isDir() && folder != QDir::rootPath())
        folder = QFileInfo(folder).path();
    return folder;
}

// The folders whose entries decide whether the path leads to a device: its own and that of
// each link on the way (/dev/serial/by-id/usb-... leads to /dev/ttyACM0).
QStringList foldersOf(const QString& path)
{
    QStringList folders{nearestFolder(QFileInfo(path).absolutePath())};
    QFileInfo info(path);
    for (int hops = 0; info.isSymLink() && hops < 8; ++hops) {
        info = QFileInfo(info.symLinkTarget());
        folders << nearestFolder(info.absolutePath());
    }
    folders.removeDuplicates();
    folders.sort();
    return folders;
}
} // namespace

DeviceWatch::DeviceWatch(QObject* parent) : QObject(parent), m_folders(this), m_retry(this)
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &DeviceWatch::recheck);
    connect(&m_folders, &QFileSystemWatcher::directoryChanged, this, [this] {
        m_retriesLeft = kRetries;
        recheck();
    });
}

bool DeviceWatch::isUsable(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() && info.isReadable() && info.isWritable();
}

void DeviceWatch::watch(const QString& path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path)
    return; // the COM name is the device there, with no file to watch
#else
    if (path == m_path && !m_lost)
        return;
    m_path = path;
    m_lost = false;
    m_retry.stop();
    followFolders();
    // A device that went before the watch began is reported once the caller is done.
    if (!path.isEmpty())
        m_retry.start(0);
#endif
}

void DeviceWatch::followFolders()
{
    const QStringList wanted = m_path.isEmpty() ? QStringList() : foldersOf(m_path);
    QStringList watched = m_folders.directories();
    watched.sort();
    if (watched == wanted)
        return;
    if (!watched.isEmpty())
        m_folders.removePaths(watched);
    if (!wanted.isEmpty())
        m_folders.addPaths(wanted);
}

void DeviceWatch::recheck()
{
    if (m_path.isEmpty())
        return;
    followFolders(); // a link may lead elsewhere now, a folder may have come or gone
    const bool usable = isUsable(m_path);
    if (!m_lost) {
        if (!usable) {
            m_lost = true;
            emit lost();
        }
        return;
    }
    if (!usable)
        return;
    if (m_reopen && !m_reopen()) {
        if (m_retriesLeft-- > 0)
            m_retry.start(kRetryMs);
        return;
    }
    m_lost = false;
    emit back();
}
