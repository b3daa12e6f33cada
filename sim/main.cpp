// SPDX-License-Identifier: GPL-3.0-or-later
// taktora-sim: a KORADIN Controller on a pseudo-terminal, for trying the program without
// hardware and for the tests that drive the real windows over a real serial line.

#include "ControllerEmulator.h"
#include "SettingsKeys.h"
#include "SimOptions.h"

#include <QCoreApplication>
#include <QSettings>

#include <cstdio>

#ifdef TAKTORA_SIM_HAS_PTY
#include "CablePlug.h"
#include "PtyServer.h"
#endif

namespace {
void printError(const QString& text)
{
    std::fprintf(stderr, "taktora-sim: %s\n", text.toLocal8Bit().constData());
}

#ifdef TAKTORA_SIM_HAS_PTY
// The same store and group the program resolves its COM names from.
bool registerPort(const QString& comName, const QString& devicePath)
{
    QSettings settings{QLatin1String(Settings::Organization), QLatin1String(Settings::Application)};
    settings.beginGroup(QLatin1String(Settings::PortsGroup));
    settings.setValue(comName, devicePath);
    settings.endGroup();
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QString boardName(EmulatedController::Board board)
{
    switch (board) {
    case EmulatedController::Board::Uno:
        return QStringLiteral("Uno");
    case EmulatedController::Board::Mega:
        return QStringLiteral("Mega");
    case EmulatedController::Board::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

int serve(const SimOptions& options)
{
    PtyServer::holdStopSignals();
    ControllerEmulator emulator;
    options.applyTo(emulator);

    std::FILE* log = nullptr;
    if (!options.logFile.isEmpty()) {
        log = std::fopen(options.logFile.toLocal8Bit().constData(), "w");
        if (!log) {
            printError(QStringLiteral("cannot write the log file %1").arg(options.logFile));
            return 1;
        }
    }

    PtyServer server(emulator, PtyServer::Timing{options.delayMs, options.pace, options.lateMs});
    server.setLog(log);
    server.setLinkPath(options.linkPath);
    CablePlug::holdSignals();
    QString error;
    if (!server.open(error)) {
        printError(error);
        return 1;
    }
    if (!options.registerCom.isEmpty() && !registerPort(options.registerCom, server.reachedAt())) {
        printError(QStringLiteral("cannot write the port entry for %1").arg(options.registerCom));
        return 1;
    }

    // The first line of stdout is the device: scripts and tests read it from there.
    std::printf("%s\n", server.reachedAt().toLocal8Bit().constData());
    std::fflush(stdout);

    QStringList numbers;
    for (quint8 n : options.controllers)
        numbers << QString::number(n);
    std::fprintf(stderr, "taktora-sim: Controller %s, firmware %d.%d.%d, %s board on %s%s\n",
                 numbers.join(QStringLiteral(", ")).toLocal8Bit().constData(), options.firmware[0],
                 options.firmware[1], options.firmware[2], boardName(options.board).toLocal8Bit().constData(),
                 server.devicePath().toLocal8Bit().constData(),
                 options.registerCom.isEmpty()
                     ? ""
                     : QStringLiteral(" (as %1)").arg(options.registerCom).toLocal8Bit().constData());

    const int code = server.run();
    if (log)
        std::fclose(log);
    return code;
}
#endif
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    SimOptions options;
    QString message;
    switch (parseSimArguments(app.arguments(), options, message)) {
    case SimParseResult::Help:
        std::printf("%s", message.toLocal8Bit().constData());
        return 0;
    case SimParseResult::Error:
        printError(message);
        return 2;
    case SimParseResult::Run:
        break;
    }
#ifdef TAKTORA_SIM_HAS_PTY
    return serve(options);
#else
    printError(QStringLiteral("this build has no pseudo-terminals; the emulator runs on Linux and macOS"));
    return 1;
#endif
}
