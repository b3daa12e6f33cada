// SPDX-License-Identifier: GPL-3.0-or-later
#include "FailingSave.h"

#include <QFile>

#include <csignal>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {
constexpr unsigned NobodyId = 65534;
// Less than any file a window writes.
constexpr rlim_t DiskRoomBytes = 16;
} // namespace

FailingSave::FailingSave(Reason reason, const QByteArray& older)
    : m_reason(reason), m_path(m_dir.filePath(QStringLiteral("older.csv")))
{
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(older) != older.size())
        qFatal("FailingSave: cannot write %s", qPrintable(m_path));
    file.close();
    m_inForce = true;
    if (reason == ReadOnlyFolder) {
        ::chmod(QFile::encodeName(m_dir.path()).constData(), 0555);
        // Without the capability to override file permissions, as any user is.
        m_oldFsuid = ::setfsuid(NobodyId);
    } else {
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        m_oldLimit = static_cast<long long>(limit.rlim_cur);
        limit.rlim_cur = DiskRoomBytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        // A write past the limit fails with EFBIG instead of ending the process.
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    }
}

FailingSave::~FailingSave()
{
    lift();
}

void FailingSave::lift()
{
    if (!m_inForce)
        return;
    m_inForce = false;
    if (m_reason == ReadOnlyFolder) {
        ::setfsuid(static_cast<uid_t>(m_oldFsuid));
        ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
    } else {
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = static_cast<rlim_t>(m_oldLimit);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, m_oldHandler);
    }
}

QByteArray FailingSave::contents() const
{
    QFile file(m_path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}
