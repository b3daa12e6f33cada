// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes, in arbitrary pieces and at arbitrary times, into the emulator's request
// parser, with arbitrary faults planned. Every byte fed is accounted for exactly once (in a
// request, a dropped fragment or the unfinished rest), and every answer is a frame for the
// request's Controller, marred only by the fault the log names.

#include "ControllerEmulator.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    ControllerEmulator emulator;
    emulator.setControllers({0, 1, 7}, EmulatedController());
    // The first byte plans one fault: kind, count and whether it is bound to a command.
    const FaultPlan::Kind kinds[] = {FaultPlan::Kind::NoAnswer, FaultPlan::Kind::BadCheck,
                                     FaultPlan::Kind::Command255, FaultPlan::Kind::Short,
                                     FaultPlan::Kind::Trailing};
    if (data[0] & 0x80)
        emulator.faults().add(
            {kinds[(data[0] & 7) % 5], 1 + ((data[0] >> 3) & 3), (data[0] & 0x40) ? 23 : -1});

    qint64 now = 0;
    qint64 fed = 0;
    qint64 accounted = 0;
    // Each piece: a header byte (low three bits: length, the rest: idle time before it), then bytes.
    for (size_t at = 1; at < size;) {
        const int count = data[at] & 7;
        now += qint64(data[at] >> 3) * 10;
        ++at;
        const size_t take = qMin(size - at, size_t(count));
        const QByteArray piece(reinterpret_cast<const char*>(data + at), qsizetype(take));
        at += take;
        fed += piece.size();
        for (const ControllerEmulator::Exchange& e : emulator.receiveAt(piece, now)) {
            accounted += e.request.size();
            if (e.kind != ControllerEmulator::Exchange::Kind::Discarded && e.request.size() != FrameSize)
                std::abort();
            if (e.kind != ControllerEmulator::Exchange::Kind::Answered)
                continue;
            FrameFields answer;
            const bool whole = decodeFrame(e.answer, answer);
            if (e.note.isEmpty() && (!whole || e.answer.size() != FrameSize))
                std::abort(); // an unfaulted answer is exactly one good frame
            if (whole && e.note.isEmpty() && answer.controller != quint8(e.request[0]))
                std::abort();
        }
        if (emulator.pendingBytes() >= FrameSize)
            std::abort();
    }
    if (accounted + emulator.pendingBytes() != fed)
        std::abort();
    return 0;
}
