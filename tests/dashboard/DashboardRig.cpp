#include "DashboardRig.h"

#include "krTaktoraTools.h"
#include "MessageBox.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSettings>

QByteArray FakeController::answer(const QByteArray& request)
{
    FrameFields f;
    if (silent || !decodeFrame(request, f))
        return {};
    if (f.command == Command::ControllerQuery && f.data1 == QueryOp::Status) {
        if (f.controller != number)
            return encodeFrame({f.controller, Answer::NoSuchController, 0, 0, 0});
        return encodeFrame({f.controller, 0, 0, 0, status});
    }
    if (f.controller != number)
        return {};
    if (f.command == Command::ControllerQuery && f.data1 == QueryOp::FirmwareVersion)
        return encodeFrame({f.controller, f.command, firmware[0], firmware[1], firmware[2]});
    if (f.command == Command::ControllerControl && f.data1 == ControlOp::TrackMode) {
        if (f.data2 == TrackMode::Operation)
            status |= StatusBit::LoadCircuitRaised;
        else
            status &= ~StatusBit::LoadCircuitRaised;
        return encodeFrame({f.controller, Answer::TrackModeAcknowledged, f.data1, f.data2, f.data3});
    }
    if (f.command == Command::ReadLocoEntry) {
        if (f.data3 == LocoEntry::First)
            nextEntry = 0;
        if (f.data3 == LocoEntry::First || f.data3 == LocoEntry::Next) {
            if (nextEntry >= locos.size())
                return encodeFrame({f.controller, f.command, 0, 0, LocoEntry::None});
            const auto& e = locos[nextEntry++];
            return encodeFrame({f.controller, f.command, lowByte(e.first), highByte(e.first), e.second});
        }
        const quint16 loco = wordFromBytes(f.data1, f.data2);
        for (const auto& e : locos)
            if (e.first == loco)
                return encodeFrame({f.controller, f.command, f.data1, f.data2, e.second});
        return encodeFrame({f.controller, f.command, f.data1, f.data2, LocoEntry::None});
    }
    return encodeFrame(f);
}

void clearAllSettings()
{
    QSettings("KORADIN", "KORADIN").clear();
}

DashboardRig::DashboardRig(const QString& portSetting, const QString& executable)
{
    WriteSetting(QStringLiteral("SignalOutputTo"), portSetting, QStringLiteral("Taktora"));
    link.port.setResponder([this](const QByteArray& request) { return controller.answer(request); });
    window = std::make_unique<krTaktora>(executable);
    window->resize(1300, 800);
}

DashboardRig::~DashboardRig()
{
    window.reset();
    MessageBox::takeShown();
}

QList<quint8> DashboardRig::sentCommands() const
{
    QList<quint8> commands;
    for (const FrameFields& f : sent())
        commands << f.command;
    return commands;
}

void DashboardRig::check(const QString& controllerNumber)
{
    find<QLineEdit>("txtControllerNr")->setText(controllerNumber);
    window->btnCheck_Click();
    forget();
}
