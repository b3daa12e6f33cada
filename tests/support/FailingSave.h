// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A file that holds an older version, and a reason why saving over it fails, in force while
// the object lives or until lift(). Linux: the folder the user may not write to is read-only
// for root as well, whose file-system identity becomes nobody's; the full disk is a limit on
// the size of the files the process writes.
class FailingSave
{
public:
    enum Reason {
        ReadOnlyFolder,
        DiskFull,
    };

    FailingSave(Reason reason, const QByteArray& older);
    ~FailingSave();
    FailingSave(const FailingSave&) = delete;
    FailingSave& operator=(const FailingSave&) = delete;

    QString path() const { return m_path; }
    // Saving works again.
    void lift();
    // What the file holds now; read once the reason is lifted.
    QByteArray contents() const;

private:
    Reason m_reason;
    QTemporaryDir m_dir;
    QString m_path;
    bool m_inForce = false;
    long long m_oldLimit = 0;
    int m_oldFsuid = -1;
    void (*m_oldHandler)(int) = nullptr;
};
