// SPDX-License-Identifier: GPL-3.0-or-later
#include "CablePlug.h"
#include "SignalHold.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {
volatile std::sig_atomic_t g_request = 0;

void onPlugSignal(int signal)
{
    g_request = signal == SIGUSR1 ? 1 : 2;
}
} // namespace

void CablePlug::holdSignals()
{
    SignalHold::hold(onPlugSignal, {SIGUSR1, SIGUSR2});
}

void CablePlug::letThrough(sigset_t& waitMask)
{
    SignalHold::letThrough(waitMask, {SIGUSR1, SIGUSR2});
}

CablePlug::Request CablePlug::take()
{
    const int request = g_request;
    g_request = 0;
    return request == 1 ? Request::Pull : request == 2 ? Request::PlugIn : Request::None;
}

bool CablePlug::makeLink(const QString& link, const QString& target, QString& error)
{
    // A watcher never sees the path missing or pointing at the old terminal.
    const QByteArray path = QFile::encodeName(link);
    const QByteArray temporary = path + ".new";
    ::unlink(temporary.constData());
    if (::symlink(QFile::encodeName(target).constData(), temporary.constData()) != 0 ||
        ::rename(temporary.constData(), path.constData()) != 0) {
        error = QStringLiteral("link %1: %2").arg(link, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

void CablePlug::removeLink(const QString& link)
{
    ::unlink(QFile::encodeName(link).constData());
}
