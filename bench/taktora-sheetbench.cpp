// SPDX-License-Identifier: GPL-3.0-or-later
// taktora-sheetbench: what the decoder sheet costs on top of the exchanges it makes. The 12
// default CVs are read through the window and the same exchanges run bare over the same
// pseudo-terminal (programming mode on, the bit verifies, the byte verify for a 0, mode off):
// first against an emulator that answers at once, then with a real decoder's timing, where the
// time left the window shows after each CV is set against the time the rest really took.

#include "BenchEmulator.h"
#include "CommandSet.h"
#include "Isolation.h"
#include "krDecoderSheet.h"
#include "krTaktoraTools.h"
#include "LineClient.h"
#include "MessageBox.h"
#include "SheetModel.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

// Counts paint events of the table and of all other widgets.
class PaintCounter : public QObject
{
public:
    int table = 0;
    int others = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            const QObject* view = watched->parent();
            ++(view && view->objectName() == QLatin1String("tblCVs") ? table : others);
        }
        return false;
    }
};

bool exchange(LineClient& line, const FrameFields& f, bool& matched)
{
    const Outcome outcome = line.transact(f, 0, false, 2);
    matched = outcome.answered() && (outcome.answer.data1 != 255 || outcome.answer.data3 != 255);
    return outcome.answered();
}

// The floor: the read's exchanges without any window, through the sheet's own source on the line
// (it holds the line while open).
QList<int> bareRead(LineClient& line, const QList<int>& cvs)
{
    QList<int> values;
    bool matched = false;
    exchange(line, Request::setTrackMode(1, TrackMode::Programming), matched);
    for (int cv : cvs) {
        int value = 0;
        for (int i = 0; i < 8; ++i)
            if (exchange(line, Request::cvBit(1, Command::VerifyCvBit, quint16(cv), i, 1), matched) &&
                matched)
                value += 1 << i;
        if (value == 0)
            exchange(line, Request::cvByte(1, Command::VerifyCvByte, quint16(cv), 0), matched);
        values.append(value);
    }
    exchange(line, Request::setTrackMode(1, TrackMode::Off), matched);
    return values;
}

QList<int> sheetValues(const krDecoderSheet& sheet)
{
    QList<int> values;
    for (const Sheet::Row& row : sheet.rows())
        values.append(row.value.value_or(-1));
    return values;
}

int unpaced()
{
    BenchEmulator emulator({});
    if (!emulator.ok())
        return 1;
    krDecoderSheet sheet(emulator.link());
    sheet.setControllerID(1);
    sheet.setSettleWait(0); // the decoder's power-up pause is no cost of the window
    sheet.show();
    QApplication::processEvents();
    QList<int> cvs;
    for (const Sheet::Row& row : sheet.rows())
        cvs.append(row.cv);

    // Best of the rounds, window and floor in turn, so both see the same load of the machine.
    const int rounds = 15;
    const int repeat = 5;
    double window = 1e300;
    double bare = 1e300;
    double windowCpu = 1e300;
    double bareCpu = 1e300;
    bool wrong = false;
    const QList<int> expected = bareRead(sheet.line(), cvs);
    const auto cpuMs = [] { return 1000.0 * double(std::clock()) / CLOCKS_PER_SEC; };
    PaintCounter paints;
    qApp->installEventFilter(&paints);
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer t;
        t.start();
        double cpu = cpuMs();
        for (int i = 0; i < repeat; ++i) {
            sheet.cmdReadAll_Click();
            wrong = wrong || sheetValues(sheet) != expected;
        }
        window = std::min(window, t.nsecsElapsed() / 1e6 / repeat);
        windowCpu = std::min(windowCpu, (cpuMs() - cpu) / repeat);
        t.restart();
        cpu = cpuMs();
        for (int i = 0; i < repeat; ++i)
            wrong = wrong || bareRead(sheet.line(), cvs) != expected;
        bare = std::min(bare, t.nsecsElapsed() / 1e6 / repeat);
        bareCpu = std::min(bareCpu, (cpuMs() - cpu) / repeat);
    }
    std::printf("unpaced, answers at once: 12 default CVs, best of %d rounds of %d reads\n", rounds, repeat);
    std::printf("  window %.2f ms, bare %.2f ms, ratio %.2f (at most 1.50)%s\n", window, bare, window / bare,
                wrong ? "  WRONG VALUES" : "");
    qApp->removeEventFilter(&paints);
    std::printf("  CPU of this process per read: window %.2f ms, bare %.2f ms\n", windowCpu, bareCpu);
    std::printf("  paints per read: table %.2f, other widgets %.2f\n",
                double(paints.table) / (rounds * repeat), double(paints.others) / (rounds * repeat));
    return wrong || window / bare > 1.5 ? 1 : 0;
}

int withDecoderTiming()
{
    const QStringList args{"--pace", "--verify-ms", "35,145"};
    BenchEmulator emulator(args);
    if (!emulator.ok())
        return 1;
    krDecoderSheet sheet(emulator.link());
    sheet.setControllerID(1);
    sheet.setSettleWait(0);
    sheet.show();
    QApplication::processEvents();

    // After each CV: when it finished, and the time left the window showed from then on (read
    // when the next CV finishes; the last one once the read is over).
    QElapsedTimer clock;
    QList<qint64> finished;
    QList<qint64> shown;
    QObject::connect(sheet.model(), &QAbstractItemModel::dataChanged, &sheet,
                     [&](const QModelIndex& top, const QModelIndex& bottom) {
                         if (top.row() != bottom.row())
                             return; // the start of the read, all rows at once
                         finished.append(clock.elapsed());
                         shown.append(sheet.timeLeftEstimateMs().value_or(-1));
                     });
    clock.start();
    sheet.cmdReadAll_Click();
    shown.append(sheet.timeLeftEstimateMs().value_or(-1));
    const qint64 end = finished.last();
    std::printf("decoder timing: %s\n", qPrintable(args.join(' ')));
    std::printf("  whole read %lld ms; after CV n of 12: time left shown / really taken / deviation\n",
                static_cast<long long>(clock.elapsed()));
    double worst = 0;
    double sum = 0;
    int counted = 0;
    for (int i = 0; i + 1 < finished.size(); ++i) {
        const qint64 real = end - finished[i];
        const qint64 estimate = shown[i + 1];
        const double deviation = 100.0 * double(estimate - real) / double(real);
        std::printf("  %2d: %6lld ms / %6lld ms / %+6.1f %%\n", i + 1, static_cast<long long>(estimate),
                    static_cast<long long>(real), deviation);
        worst = std::max(worst, std::fabs(deviation));
        sum += std::fabs(deviation);
        ++counted;
    }
    std::printf("  mean deviation %.1f %% (at most 20 %%), largest %.1f %%\n", sum / counted, worst);
    return sum / counted > 20.0 ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir configHome;
    isolateFromTheUser(configHome);
    QApplication app(argc, argv);
    MessageBox::setTestMode(true);
    const bool unpacedOnly = app.arguments().contains(QStringLiteral("--unpaced-only"));
    const int failed = unpaced() + (unpacedOnly ? 0 : withDecoderTiming());
    for (const MessageBox::Shown& box : MessageBox::takeShown())
        std::printf("  message: %s\n", qPrintable(box.text));
    return failed;
}
