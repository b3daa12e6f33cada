// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSet>
#include <QtGlobal>

#include <array>

// The locomotive decoder standing on the programming track: its CV memory and the register
// view that older decoders offer. Absent, it fails every write and every verify, as an empty
// programming track does.
class EmulatedDecoder
{
public:
    static constexpr int FirstCv = 1;
    static constexpr int LastCv = 1024;
    static constexpr int FirstRegister = 1;
    static constexpr int LastRegister = 8;

    // A factory-fresh decoder: short address 3, 28 speed steps.
    EmulatedDecoder();

    void setPresent(bool present) { m_present = present; }
    // A CV this decoder does not have: it acknowledges no write or verify of it.
    void setMissing(int cv) { m_missing.insert(cv); }
    bool present() const { return m_present; }

    // Direct access for setting up and inspecting; no-ops and 0 outside 1..1024.
    void setCv(int cv, quint8 value);
    quint8 cv(int cv) const;

    // What the programming track achieves. False: the decoder did not acknowledge (missing,
    // CV or register out of range) or, for verifies, the content differs.
    bool writeByte(int cv, quint8 value);
    bool verifyByte(int cv, quint8 value) const;
    bool writeBit(int cv, int position, int value);
    bool verifyBit(int cv, int position, int value) const;
    bool writeRegister(int reg, quint8 value);
    bool verifyRegister(int reg, quint8 value) const;
    quint8 registerValue(int reg) const;

private:
    static bool validCv(int cv) { return cv >= FirstCv && cv <= LastCv; }
    bool hasCv(int cv) const { return validCv(cv) && !m_missing.contains(cv); }
    static bool validRegister(int reg) { return reg >= FirstRegister && reg <= LastRegister; }

    bool m_present = true;
    QSet<int> m_missing;
    std::array<quint8, LastCv + 1> m_cvs{};
    quint8 m_pageRegister = 1;
};
