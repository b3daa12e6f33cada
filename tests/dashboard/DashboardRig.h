#pragma once

#include "CommandSet.h"
#include "FakeSerialPort.h"
#include "krTaktora.h"

#include <QList>
#include <QMap>
#include <QPair>

#include <memory>

// A Controller as the dashboard sees it, answering over the fake port.
struct FakeController
{
    quint8 number = 1;
    quint8 status = StatusBit::EmergencyStopAvailable | StatusBit::BoardMega;
    quint8 firmware[3] = {5, 2, 3};
    QList<QPair<quint16, quint8>> locos{{3, 2}, {1000, 3}, {7, 1}};
    bool silent = false;
    int nextEntry = 0;

    QByteArray answer(const QByteArray& request);
};

// The main window on a fake port, with the settings it starts from.
struct DashboardRig
{
    FakeLink link;
    FakeController controller;
    std::unique_ptr<krTaktora> window;

    explicit DashboardRig(const QString& portSetting = QStringLiteral("COM3"),
                          const QString& executable = QStringLiteral("/opt/taktora/taktora"));
    ~DashboardRig();

    QList<FrameFields> sent() const { return link.port.writtenFrames(); }
    QList<quint8> sentCommands() const;
    void forget() { link.port.resetLog(); }
    // A successful check against the fake Controller, log cleared afterwards.
    void check(const QString& controllerNumber = QStringLiteral("1"));

    template <typename T> T* find(const QString& name) const { return window->findChild<T*>(name); }
};

void clearAllSettings();
