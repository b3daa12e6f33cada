// SPDX-License-Identifier: GPL-3.0-or-later
#include "EmulatedController.h"

#include "CommandSet.h"

namespace {
// A status query that the addressed board answers: the command byte must not be
// Answer::NoSuchController, which would tell the program that nobody is there.
constexpr quint8 StatusPresent = 0;

// Analog inputs A0 and A1 of the two layouts, where the current sensing sits by default.
constexpr quint8 MegaA0 = 54;
constexpr quint8 UnoA0 = 14;

FrameFields refused(const FrameFields& request)
{
    FrameFields a = request;
    a.command = Answer::Failed;
    return a;
}

FrameFields programmingFailed(const FrameFields& request)
{
    FrameFields a = request;
    a.data1 = a.data2 = a.data3 = Answer::ProgrammingFailed;
    return a;
}
} // namespace

EmulatedController::EmulatedController()
{
    setBoard(Board::Mega);
}

void EmulatedController::setFirmware(quint8 major, quint8 minor, quint8 patch)
{
    m_firmware[0] = major;
    m_firmware[1] = minor;
    m_firmware[2] = patch;
}

void EmulatedController::setBoard(Board board)
{
    m_board = board;
    // The pins the firmware assumes on a fresh board of this layout.
    const quint8 a0 = board == Board::Uno ? UnoA0 : MegaA0;
    m_operationPins = Pins{3, 2, a0};
    m_programmingPins = Pins{11, 10, static_cast<quint8>(a0 + 1)};
}

void EmulatedController::setLocoConfiguration(const QList<ConfiguredLoco>& entries)
{
    m_locos = entries;
    m_readCursor = 0;
}

quint8 EmulatedController::statusBits() const
{
    quint8 bits = 0;
    if (m_emergencyStopAvailable)
        bits |= StatusBit::EmergencyStopAvailable;
    if (m_emergencyStopOn)
        bits |= StatusBit::EmergencyStopOn;
    if (m_board == Board::Uno)
        bits |= StatusBit::BoardUno;
    if (m_board == Board::Mega)
        bits |= StatusBit::BoardMega;
    if (m_trackMode == TrackMode::Operation)
        bits |= StatusBit::LoadCircuitRaised;
    return bits;
}

FrameFields EmulatedController::answer(const FrameFields& request)
{
    switch (request.command) {
    case Command::ControllerControl:
        return control(request);
    case Command::ControllerQuery:
        return query(request);
    case Command::ReadLocoEntry:
        return readLocoEntry(request);
    case Command::WriteLocoEntry:
        return writeLocoEntry(request);
    case Command::SetLocoDirection:
    case Command::SetLocoSpeed:
    case Command::StopLoco:
    case Command::LocoFunctionOn:
    case Command::LocoFunctionOff:
        return drive(request);
    case Command::SwitchAccessoryOff:
    case Command::SwitchAccessoryOn:
        return accessory(request);
    case Command::WriteCvByte:
    case Command::WriteCvBit:
    case Command::WriteRegister:
    case Command::VerifyCvByte:
    case Command::VerifyCvBit:
    case Command::VerifyRegister:
        return program(request);
    default:
        return refused(request);
    }
}

FrameFields EmulatedController::control(const FrameFields& request)
{
    switch (request.data1) {
    case ControlOp::Restart:
        // The board acknowledges before it reboots; what lives in RAM is gone afterwards.
        restart();
        return request;
    case ControlOp::HardwareEmergencyStop:
        if (!m_emergencyStopAvailable || request.data2 > 1)
            return refused(request);
        m_emergencyStopOn = request.data2 == 1;
        return request;
    case ControlOp::TrackMode: {
        // data3 repeats whether the mode is operation: 1 with mode 1, 0 with the others.
        const quint8 operation = request.data2 == TrackMode::Operation ? 1 : 0;
        if (request.data2 > TrackMode::Programming || request.data3 != operation)
            return refused(request);
        m_trackMode = request.data2;
        FrameFields a = request;
        a.command = Answer::TrackModeAcknowledged;
        return a;
    }
    case ControlOp::OperationPins:
        m_operationPins.output = request.data2;
        m_operationPins.loadCurrent = request.data3;
        return request;
    case ControlOp::ProgrammingPins:
        m_programmingPins.output = request.data2;
        m_programmingPins.loadCurrent = request.data3;
        return request;
    case ControlOp::MonitoringPins:
        m_operationPins.monitoring = request.data2;
        m_programmingPins.monitoring = request.data3;
        return request;
    default:
        return refused(request);
    }
}

FrameFields EmulatedController::query(const FrameFields& request)
{
    FrameFields a = request;
    switch (request.data1) {
    case QueryOp::Status:
        a.command = StatusPresent;
        a.data1 = a.data2 = 0;
        a.data3 = statusBits();
        return a;
    case QueryOp::FirmwareVersion:
        a.data1 = m_firmware[0];
        a.data2 = m_firmware[1];
        a.data3 = m_firmware[2];
        return a;
    case QueryOp::OperationPins:
    case QueryOp::ProgrammingPins: {
        const Pins& p = request.data1 == QueryOp::OperationPins ? m_operationPins : m_programmingPins;
        a.data1 = p.output;
        a.data2 = p.loadCurrent;
        a.data3 = p.monitoring;
        return a;
    }
    default:
        return refused(request);
    }
}

int EmulatedController::indexOfLoco(quint16 number) const
{
    for (int i = 0; i < m_locos.size(); ++i) {
        if (m_locos[i].number == number)
            return i;
    }
    return -1;
}

FrameFields EmulatedController::locoEntryAnswer(const FrameFields& request, int index) const
{
    FrameFields a = request;
    if (index < 0 || index >= m_locos.size()) {
        a.data3 = LocoEntry::None;
        return a;
    }
    const ConfiguredLoco& e = m_locos[index];
    a.data1 = lowByte(e.number);
    a.data2 = highByte(e.number);
    // Bit 7 of the attribute byte reports the direction the loco was last given.
    a.data3 = static_cast<quint8>((e.speedSteps & LocoEntry::SpeedStepMask) |
                                  (m_locoStates.value(e.number).forward ? 0x80 : 0x00));
    return a;
}

FrameFields EmulatedController::readLocoEntry(const FrameFields& request)
{
    switch (request.data3) {
    case LocoEntry::First:
        m_readCursor = 1;
        return locoEntryAnswer(request, 0);
    case LocoEntry::Next:
        if (m_readCursor >= m_locos.size())
            return locoEntryAnswer(request, -1);
        return locoEntryAnswer(request, m_readCursor++);
    case LocoEntry::Single:
        return locoEntryAnswer(request, indexOfLoco(wordFromBytes(request.data1, request.data2)));
    default:
        return refused(request);
    }
}

FrameFields EmulatedController::writeLocoEntry(const FrameFields& request)
{
    const quint16 number = wordFromBytes(request.data1, request.data2);
    if (number < 1 || number > HighestLocoNumber || request.data3 > SpeedSteps::Steps126)
        return refused(request);
    const int index = indexOfLoco(number);
    if (request.data3 == LocoEntry::Remove) {
        if (index >= 0) {
            m_locos.removeAt(index);
            if (index < m_readCursor)
                --m_readCursor;
        }
    } else if (index >= 0) {
        m_locos[index].speedSteps = request.data3; // changed in place: the order stays
    } else {
        m_locos.append(ConfiguredLoco{number, request.data3});
    }
    return request;
}

FrameFields EmulatedController::drive(const FrameFields& request)
{
    const bool function =
        request.command == Command::LocoFunctionOn || request.command == Command::LocoFunctionOff;
    if ((request.command == Command::SetLocoDirection && request.data3 > 1) ||
        (function && request.data3 > HighestFunction))
        return refused(request);

    const auto apply = [&request](LocoState& loco) {
        switch (request.command) {
        case Command::SetLocoDirection:
            loco.forward = request.data3 == 1;
            break;
        case Command::SetLocoSpeed:
            loco.speed = request.data3;
            break;
        case Command::StopLoco:
            loco.speed = 0;
            break;
        default: {
            const quint32 bit = 1u << request.data3;
            loco.functions =
                request.command == Command::LocoFunctionOn ? (loco.functions | bit) : (loco.functions & ~bit);
            break;
        }
        }
    };
    // The track carries any loco number the frame can hold, configured or not; 65535 reaches
    // every loco at once.
    const quint16 number = wordFromBytes(request.data1, request.data2);
    if (number != AllLocos) {
        apply(m_locoStates[number]);
        return request;
    }
    for (const ConfiguredLoco& configured : m_locos) {
        if (!m_locoStates.contains(configured.number))
            m_locoStates.insert(configured.number, LocoState{});
    }
    for (LocoState& loco : m_locoStates)
        apply(loco);
    return request;
}

FrameFields EmulatedController::accessory(const FrameFields& request)
{
    const quint16 decoder = wordFromBytes(request.data1, request.data2);
    if (decoder > HighestAccessoryDecoder || request.data3 > 3 || m_failingAccessories.contains(decoder))
        return refused(request);
    const quint8 bit = static_cast<quint8>(1u << request.data3);
    quint8& outputs = m_accessories[decoder];
    outputs = request.command == Command::SwitchAccessoryOn ? (outputs | bit) : (outputs & ~bit);
    return request;
}

FrameFields EmulatedController::program(const FrameFields& request)
{
    // The programming track carries power only in programming mode; outside it no decoder can
    // acknowledge, so every programming request fails.
    if (m_trackMode != TrackMode::Programming)
        return programmingFailed(request);

    const int cv = wordFromBytes(request.data1, request.data2);
    const int reg = request.data2 == 0 ? request.data1 : -1;
    const quint8 value = request.data3;
    bool ok = false;
    switch (request.command) {
    case Command::WriteCvByte:
        ok = m_decoder.writeByte(cv, value);
        break;
    case Command::VerifyCvByte:
        ok = m_decoder.verifyByte(cv, value);
        break;
    case Command::WriteCvBit:
    case Command::VerifyCvBit:
        if (value > 0x0F) // bits 4..7 of a BitSpec are always clear
            break;
        ok = request.command == Command::WriteCvBit
                 ? m_decoder.writeBit(cv, bitSpecPosition(value), bitSpecValue(value))
                 : m_decoder.verifyBit(cv, bitSpecPosition(value), bitSpecValue(value));
        break;
    case Command::WriteRegister:
        ok = m_decoder.writeRegister(reg, value);
        break;
    case Command::VerifyRegister:
        ok = m_decoder.verifyRegister(reg, value);
        break;
    default:
        break;
    }
    return ok ? request : programmingFailed(request);
}

void EmulatedController::restart()
{
    ++m_restarts;
    m_trackMode = TrackMode::Off;
    m_readCursor = 0;
    m_locoStates.clear();
    m_accessories.clear();
}
