// SPDX-License-Identifier: GPL-3.0-or-later
#include "EmulatedDecoder.h"

namespace {
// Register mode reaches a handful of CVs directly; register 6 is the page register, which
// belongs to the decoder's paging logic and has no CV of its own.
constexpr int PageRegister = 6;

int cvOfRegister(int reg)
{
    switch (reg) {
    case 5:
        return 29;
    case PageRegister:
        return 0;
    default:
        return reg; // 1..4, 7 and 8 are the CVs of the same number
    }
}
} // namespace

EmulatedDecoder::EmulatedDecoder()
{
    setCv(1, 3);    // short address
    setCv(2, 5);    // start voltage
    setCv(3, 12);   // acceleration
    setCv(4, 8);    // braking
    setCv(5, 255);  // top speed
    setCv(6, 110);  // middle speed
    setCv(7, 42);   // version
    setCv(8, 13);   // manufacturer: public-domain and do-it-yourself decoders
    setCv(17, 192); // long address, high part (unused while CV 29 bit 5 is clear)
    setCv(18, 3);   // long address, low part
    setCv(29, 6);   // 28/126 speed steps, analogue operation allowed, short address
}

void EmulatedDecoder::setCv(int cv, quint8 value)
{
    if (validCv(cv))
        m_cvs[static_cast<size_t>(cv)] = value;
}

quint8 EmulatedDecoder::cv(int cv) const
{
    return validCv(cv) ? m_cvs[static_cast<size_t>(cv)] : 0;
}

bool EmulatedDecoder::writeByte(int cv, quint8 value)
{
    if (!m_present || !hasCv(cv))
        return false;
    setCv(cv, value);
    return true;
}

bool EmulatedDecoder::verifyByte(int cv, quint8 value) const
{
    return m_present && hasCv(cv) && this->cv(cv) == value;
}

bool EmulatedDecoder::writeBit(int cv, int position, int value)
{
    if (!m_present || !hasCv(cv) || position < 0 || position > 7)
        return false;
    const quint8 mask = static_cast<quint8>(1u << position);
    setCv(cv, static_cast<quint8>(value ? (this->cv(cv) | mask) : (this->cv(cv) & ~mask)));
    return true;
}

bool EmulatedDecoder::verifyBit(int cv, int position, int value) const
{
    if (!m_present || !hasCv(cv) || position < 0 || position > 7)
        return false;
    return ((this->cv(cv) >> position) & 1) == (value ? 1 : 0);
}

bool EmulatedDecoder::writeRegister(int reg, quint8 value)
{
    if (!m_present || !validRegister(reg))
        return false;
    if (reg == PageRegister)
        m_pageRegister = value;
    else
        setCv(cvOfRegister(reg), value);
    return true;
}

bool EmulatedDecoder::verifyRegister(int reg, quint8 value) const
{
    return m_present && validRegister(reg) && registerValue(reg) == value;
}

quint8 EmulatedDecoder::registerValue(int reg) const
{
    if (!validRegister(reg))
        return 0;
    return reg == PageRegister ? m_pageRegister : cv(cvOfRegister(reg));
}
