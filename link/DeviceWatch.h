// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// Watches the device file of the open port, so that a pulled USB cable is noticed and the board
// found again when it comes back under the same path. The kernel tells of changes to the
// device's folders (inotify); nothing polls while the device is there or while it is away.
class DeviceWatch : public QObject
{
    Q_OBJECT

public:
    explicit DeviceWatch(QObject* parent = nullptr);

    // Starts watching `path` as a device that is there now; an empty path stops watching.
    // Watching the path already watched changes nothing unless it is lost.
    void watch(const QString& path);
    QString path() const { return m_path; }
    bool isLost() const { return m_lost; }

    // Tried when the device has come back, before back(); a device that shows up before it
    // can be opened (the system still setting its rights, another program probing it) is
    // tried again every second for a while.
    void setReopen(std::function<bool()> reopen) { m_reopen = std::move(reopen); }

    // Whether a device file is there for reading and writing; a dangling link is not.
    static bool isUsable(const QString& path);

signals:
    void lost();
    void back();

private:
    void recheck();
    void followFolders();

    QFileSystemWatcher m_folders;
    QTimer m_retry;
    std::function<bool()> m_reopen;
    QString m_path;
    bool m_lost = false;
    int m_retriesLeft = 0;
};
