// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The Controller's command set: every command code and every fixed data byte the program
// sends or relies on in an answer is named here and nowhere else.

#include "Frame.h"

namespace Command {
constexpr quint8 ControllerControl = 1; // operation selected by data1, see ControlOp
constexpr quint8 ControllerQuery = 2;   // query selected by data1, see QueryOp
constexpr quint8 ReadLocoEntry = 20;
constexpr quint8 WriteLocoEntry = 21;
constexpr quint8 SetLocoDirection = 22;
constexpr quint8 SetLocoSpeed = 23;
constexpr quint8 StopLoco = 24;
constexpr quint8 SwitchAccessoryOff = 25;
constexpr quint8 SwitchAccessoryOn = 26;
constexpr quint8 LocoFunctionOn = 27;
constexpr quint8 LocoFunctionOff = 28;
constexpr quint8 WriteCvByte = 30;
constexpr quint8 WriteCvBit = 31;
constexpr quint8 WriteRegister = 32;
constexpr quint8 VerifyCvByte = 33;
constexpr quint8 VerifyCvBit = 34;
constexpr quint8 VerifyRegister = 35;
} // namespace Command

// Answer command bytes with a meaning of their own.
namespace Answer {
constexpr quint8 Failed = 255;                // any answer with this command byte is rejected
constexpr quint8 TrackModeAcknowledged = 254; // answer to SetTrackMode
constexpr quint8 NoSuchController = 2;        // answer to QueryControllerStatus
constexpr quint8 ProgrammingFailed = 255;     // in the data bytes of commands 30 to 35
} // namespace Answer

// data1 of Command::ControllerControl
namespace ControlOp {
constexpr quint8 Restart = 3;
constexpr quint8 HardwareEmergencyStop = 5;
constexpr quint8 TrackMode = 10;
constexpr quint8 OperationPins = 20;
constexpr quint8 ProgrammingPins = 21;
constexpr quint8 MonitoringPins = 22;
} // namespace ControlOp

// data1 of Command::ControllerQuery
namespace QueryOp {
constexpr quint8 Status = 0;
constexpr quint8 FirmwareVersion = 253;
constexpr quint8 OperationPins = 252;
constexpr quint8 ProgrammingPins = 251;
} // namespace QueryOp

namespace TrackMode {
constexpr quint8 Off = 0;
constexpr quint8 Operation = 1;
constexpr quint8 Programming = 2;
} // namespace TrackMode

// Bits of data3 in the answer to QueryControllerStatus.
namespace StatusBit {
constexpr quint8 EmergencyStopAvailable = 0x01;
constexpr quint8 EmergencyStopOn = 0x02;
constexpr quint8 BoardUno = 0x08;
constexpr quint8 BoardMega = 0x10;
constexpr quint8 LoadCircuitRaised = 0x20;
} // namespace StatusBit

// data3 of ReadLocoEntry requests and answers.
namespace LocoEntry {
constexpr quint8 Single = 0;
constexpr quint8 First = 255;
constexpr quint8 Next = 254;
constexpr quint8 None = 255; // answer: no (further) entry, or the loco is not configured
constexpr quint8 Remove = 0; // data3 of WriteLocoEntry
constexpr quint8 SpeedStepMask = 0x03;
} // namespace LocoEntry

namespace SpeedSteps {
constexpr quint8 NotDefined = 0;
constexpr quint8 Steps14 = 1;
constexpr quint8 Steps28 = 2;
constexpr quint8 Steps126 = 3;
} // namespace SpeedSteps

constexpr quint16 AllLocos = 65535;
constexpr quint8 LightFunction = 0;

// 16-bit numbers travel low byte first.
constexpr quint8 lowByte(quint16 n)
{
    return static_cast<quint8>(n % 256);
}
constexpr quint8 highByte(quint16 n)
{
    return static_cast<quint8>(n / 256);
}
constexpr quint16 wordFromBytes(quint8 low, quint8 high)
{
    return static_cast<quint16>(high * 256 + low);
}

// One byte for a single-bit CV request: bit value in bit 3, position in bits 0 to 2.
constexpr quint8 bitSpec(int position, int value)
{
    return static_cast<quint8>((value ? 8 : 0) + (position & 0x07));
}
constexpr int bitSpecPosition(quint8 spec)
{
    return spec & 0x07;
}
constexpr int bitSpecValue(quint8 spec)
{
    return (spec >> 3) & 0x01;
}

// Request builders: a window fills its frame fields from one of these and sends them.
namespace Request {
constexpr FrameFields make(quint8 controller, quint8 command, quint8 d1, quint8 d2, quint8 d3)
{
    return FrameFields{controller, command, d1, d2, d3};
}
constexpr FrameFields queryControllerStatus(quint8 c)
{
    return make(c, Command::ControllerQuery, QueryOp::Status, 0, 0);
}
constexpr FrameFields readFirmwareVersion(quint8 c)
{
    return make(c, Command::ControllerQuery, QueryOp::FirmwareVersion, 0, 0);
}
constexpr FrameFields readOperationPins(quint8 c)
{
    return make(c, Command::ControllerQuery, QueryOp::OperationPins, 0, 0);
}
constexpr FrameFields readProgrammingPins(quint8 c)
{
    return make(c, Command::ControllerQuery, QueryOp::ProgrammingPins, 0, 0);
}
constexpr FrameFields restartController(quint8 c)
{
    return make(c, Command::ControllerControl, ControlOp::Restart, 0, 0);
}
constexpr FrameFields setHardwareEmergencyStop(quint8 c, bool on)
{
    return make(c, Command::ControllerControl, ControlOp::HardwareEmergencyStop, on ? 1 : 0, 0);
}
constexpr FrameFields setTrackMode(quint8 c, quint8 mode)
{
    return make(c, Command::ControllerControl, ControlOp::TrackMode, mode,
                mode == TrackMode::Operation ? 1 : 0);
}
constexpr FrameFields setOperationPins(quint8 c, quint8 outputPin, quint8 loadCurrentPin)
{
    return make(c, Command::ControllerControl, ControlOp::OperationPins, outputPin, loadCurrentPin);
}
constexpr FrameFields setProgrammingPins(quint8 c, quint8 outputPin, quint8 loadCurrentPin)
{
    return make(c, Command::ControllerControl, ControlOp::ProgrammingPins, outputPin, loadCurrentPin);
}
constexpr FrameFields setMonitoringPins(quint8 c, quint8 operationPin, quint8 programmingPin)
{
    return make(c, Command::ControllerControl, ControlOp::MonitoringPins, operationPin, programmingPin);
}
constexpr FrameFields readLocoEntry(quint8 c, quint16 loco)
{
    return make(c, Command::ReadLocoEntry, lowByte(loco), highByte(loco), LocoEntry::Single);
}
constexpr FrameFields readFirstLocoEntry(quint8 c)
{
    return make(c, Command::ReadLocoEntry, 0, 0, LocoEntry::First);
}
constexpr FrameFields readNextLocoEntry(quint8 c)
{
    return make(c, Command::ReadLocoEntry, 0, 0, LocoEntry::Next);
}
constexpr FrameFields writeLocoEntry(quint8 c, quint16 loco, quint8 speedStepCode)
{
    return make(c, Command::WriteLocoEntry, lowByte(loco), highByte(loco), speedStepCode);
}
// data3 1 is forward, as bit 7 of a loco entry and DCC's direction bit.
constexpr FrameFields setLocoDirection(quint8 c, quint16 loco, bool forward)
{
    return make(c, Command::SetLocoDirection, lowByte(loco), highByte(loco), forward ? 1 : 0);
}
constexpr FrameFields setLocoSpeed(quint8 c, quint16 loco, quint8 speed)
{
    return make(c, Command::SetLocoSpeed, lowByte(loco), highByte(loco), speed);
}
constexpr FrameFields stopLoco(quint8 c, quint16 loco)
{
    return make(c, Command::StopLoco, lowByte(loco), highByte(loco), 0);
}
constexpr FrameFields locoFunction(quint8 c, quint16 loco, quint8 function, bool on)
{
    return make(c, on ? Command::LocoFunctionOn : Command::LocoFunctionOff, lowByte(loco), highByte(loco),
                function);
}
constexpr FrameFields switchAccessory(quint8 c, quint16 decoder, quint8 port, bool on)
{
    return make(c, on ? Command::SwitchAccessoryOn : Command::SwitchAccessoryOff, lowByte(decoder),
                highByte(decoder), port);
}
constexpr FrameFields cvByte(quint8 c, quint8 command, quint16 cv, quint8 value)
{
    return make(c, command, lowByte(cv), highByte(cv), value);
}
constexpr FrameFields cvBit(quint8 c, quint8 command, quint16 cv, int position, int value)
{
    return make(c, command, lowByte(cv), highByte(cv), bitSpec(position, value));
}
constexpr FrameFields registerValue(quint8 c, quint8 command, quint8 reg, quint8 value)
{
    return make(c, command, reg, 0, value);
}
} // namespace Request
