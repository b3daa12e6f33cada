// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "EmulatedDecoder.h"
#include "Frame.h"

#include <QHash>
#include <QList>
#include <QSet>

// One Controller board: what its firmware keeps (loco configuration, pins, emergency-stop
// setting), what it drives (track mode, locos, accessory outputs) and the decoder on its
// programming track. It answers every request addressed to it; deciding which requests reach
// it at all is the line's job (ControllerEmulator).
class EmulatedController
{
public:
    enum class Board { Unknown, Uno, Mega };

    struct ConfiguredLoco
    {
        quint16 number = 0;
        quint8 speedSteps = 0; // speed-step code 1..3
        friend bool operator==(const ConfiguredLoco& a, const ConfiguredLoco& b)
        {
            return a.number == b.number && a.speedSteps == b.speedSteps;
        }
    };

    struct LocoState
    {
        quint8 speed = 0;
        bool forward = false;
        quint32 functions = 0; // bit n: function n (0 = light)
    };

    struct Pins
    {
        quint8 output = 0;
        quint8 loadCurrent = 0;
        quint8 monitoring = 0;
    };

    static constexpr quint16 HighestLocoNumber = 10239;
    static constexpr quint16 HighestAccessoryDecoder = 511;
    static constexpr int HighestFunction = 28;

    // Factory state of a Mega board with firmware 5.2.3, no locos configured.
    EmulatedController();

    void setFirmware(quint8 major, quint8 minor, quint8 patch);
    void setBoard(Board board);
    Board board() const { return m_board; }
    void setEmergencyStopAvailable(bool available) { m_emergencyStopAvailable = available; }
    void setEmergencyStopOn(bool on) { m_emergencyStopOn = on; }
    // What the firmware has stored; setBoard puts back the layout's factory pins.
    void setOperationPins(const Pins& pins) { m_operationPins = pins; }
    void setProgrammingPins(const Pins& pins) { m_programmingPins = pins; }
    void setLocoConfiguration(const QList<ConfiguredLoco>& entries);
    QList<ConfiguredLoco> locoConfiguration() const { return m_locos; }
    EmulatedDecoder& decoder() { return m_decoder; }
    const EmulatedDecoder& decoder() const { return m_decoder; }

    // The answer to one request (whose controller byte is this board's number).
    FrameFields answer(const FrameFields& request);

    // Inspection, for tests and the log.
    quint8 statusBits() const;
    quint8 trackMode() const { return m_trackMode; }
    bool emergencyStopOn() const { return m_emergencyStopOn; }
    Pins operationPins() const { return m_operationPins; }
    Pins programmingPins() const { return m_programmingPins; }
    LocoState locoState(quint16 number) const { return m_locoStates.value(number); }
    quint8 accessoryOutputs(quint16 decoder) const { return m_accessories.value(decoder); }
    // A decoder the Controller cannot reach: switching it is refused.
    void setAccessoryFailing(quint16 decoder) { m_failingAccessories.insert(decoder); }
    int restarts() const { return m_restarts; }

private:
    FrameFields control(const FrameFields& request);
    FrameFields query(const FrameFields& request);
    FrameFields readLocoEntry(const FrameFields& request);
    FrameFields writeLocoEntry(const FrameFields& request);
    FrameFields drive(const FrameFields& request);
    FrameFields accessory(const FrameFields& request);
    FrameFields program(const FrameFields& request);
    FrameFields locoEntryAnswer(const FrameFields& request, int index) const;
    int indexOfLoco(quint16 number) const;
    void restart();

    quint8 m_firmware[3] = {5, 2, 3};
    Board m_board = Board::Mega;
    bool m_emergencyStopAvailable = true;
    bool m_emergencyStopOn = false;
    quint8 m_trackMode = 0;
    Pins m_operationPins;
    Pins m_programmingPins;
    QList<ConfiguredLoco> m_locos; // in the order the firmware stores them, not sorted
    int m_readCursor = 0;          // next entry handed out by a "next" read
    QHash<quint16, LocoState> m_locoStates;
    QHash<quint16, quint8> m_accessories; // bit n: port n switched on
    QSet<quint16> m_failingAccessories;
    EmulatedDecoder m_decoder;
    int m_restarts = 0;
};
