// SPDX-License-Identifier: GPL-3.0-or-later
// taktora-progbench: what the programming tab costs on top of the exchanges it makes. A CV read
// (8 or 9 verifies) and a register search (up to 256) run through the tab, shown in a window,
// and the same exchanges run bare over the same pseudo-terminal: first against an emulator that
// answers at once, then against one with a real decoder's timing. One figure per line.

#include "BenchEmulator.h"
#include "CommandSet.h"
#include "ControllerLink.h"
#include "krTaktoraTools.h"
#include "LineClient.h"
#include "MessageBox.h"
#include "ProgrammingTab.h"
#include "SimProcess.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

// The window that hosts the tab for Controller 1, with a source on the line of its own.
class Host : public QWidget
{
    Q_OBJECT

public:
    explicit Host(ControllerLink& link)
        : line(new LineClient(link, QStringLiteral("Programmierung"), LineClient::Kind::Screen, this)),
          tab(new ProgrammingTab(*line, this))
    {
        tab->setControllerID(1);
        tab->selectProgType(0);
        resize(TwipsToPixels(6255), TwipsToPixels(5055));
    }

    LineClient* line;
    ProgrammingTab* tab;
};

// Counts paint events per widget, so the figures show what a read repaints.
class PaintCounter : public QObject
{
    Q_OBJECT

public:
    int bar = 0;
    int others = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++(watched->objectName() == QLatin1String("sspProgressPanel") ? bar : others);
        return false;
    }
};

// The exchanges a CV read or a register search makes, without any window around them.
int bareCvRead(LineClient& line, quint16 cv)
{
    int value = 0;
    for (int i = 0; i < 8; ++i) {
        FrameFields f = Request::cvBit(1, Command::VerifyCvBit, cv, i, 1);
        if (line.ControllerTransaction(f, 0, false, 2) && (f.data1 != 255 || f.data3 != 255))
            value += 1 << i;
    }
    if (value == 0) {
        FrameFields f = Request::cvByte(1, Command::VerifyCvByte, cv, 0);
        line.ControllerTransaction(f, 0, false, 2);
    }
    return value;
}

int bareSearch(LineClient& line, quint8 reg)
{
    for (int v = 0; v <= 255; ++v) {
        FrameFields f = Request::registerValue(1, Command::VerifyRegister, reg, quint8(v));
        if (line.ControllerTransaction(f, 0, false, 2) && (f.data1 != 255 || f.data3 != 255))
            return v;
    }
    return -1;
}

// Best of `rounds` runs of `repeat` calls each, in milliseconds per call, for the tab and the
// bare exchanges in turn: the machine is shared, the two see the same load round by round, and
// the least disturbed round is the one that shows the cost itself.
struct Pair
{
    double tab = 1e300;
    double bare = 1e300;
};
Pair bestMs(int rounds, int repeat, const std::function<int()>& tab, const std::function<int()>& bare,
            int expected, bool& wrong)
{
    Pair best;
    auto time = [&](const std::function<int()>& call) {
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < repeat; ++i)
            wrong = wrong || call() != expected;
        return t.nsecsElapsed() / 1e6 / repeat;
    };
    for (int r = 0; r < rounds; ++r) {
        best.tab = std::min(best.tab, time(tab));
        best.bare = std::min(best.bare, time(bare));
    }
    return best;
}

struct Setting
{
    const char* name;
    QStringList simArgs;
    int cvRounds, cvRepeat, searchRounds, searchRepeat;
    int cvValue, registerValue;          // CV 7 and register 8 hold these
    double decoderCvMs, decoderSearchMs; // the decoder's own time for one read and one search
};

bool run(const Setting& s)
{
    SimProcess sim(s.simArgs + QStringList{QStringLiteral("--cv"),
                                           QStringLiteral("7=%1,8=%2").arg(s.cvValue).arg(s.registerValue)});
    if (!sim.start()) {
        std::fprintf(stderr, "taktora-sim: %s\n", qPrintable(sim.errorString()));
        return false;
    }
    sim.registerAs(QStringLiteral("COM9"));
    ControllerLink link;
    link.setPortName(QStringLiteral("COM9"));
    if (!link.open(QStringLiteral("COM9")))
        return false;
    LineClient bare(link, QStringLiteral("ohne Fenster"), LineClient::Kind::Screen);
    link.setChecked(1); // as the main window's check leaves it
    Host host(link);
    host.show();
    QApplication::processEvents();
    host.tab->SwitchProgrammingMode(true);
    bool wrong = false;
    const int exchangesCv = s.cvValue == 0 ? 9 : 8;
    const int exchangesSearch = s.registerValue + 1;

    PaintCounter paints;
    qApp->installEventFilter(&paints);
    const Pair cv = bestMs(
        s.cvRounds, s.cvRepeat, [&] { return host.tab->ReadCvValue(7); },
        [&bare] { return bareCvRead(bare, 7); }, s.cvValue, wrong);
    const Pair search = bestMs(
        s.searchRounds, s.searchRepeat, [&] { return host.tab->SearchRegisterValue(8, 0, 255); },
        [&bare] { return bareSearch(bare, 8); }, s.registerValue, wrong);
    qApp->removeEventFilter(&paints);
    const double tabCv = cv.tab;
    const double bareCv = cv.bare;
    const double tabSearch = search.tab;
    const double bareS = search.bare;

    // "Abbruch" clicked after the first exchange of a search: how many exchanges follow it. The
    // search starts as the button starts it, after the settling pause, so the window takes its
    // events after the first exchange.
    WaitSeconds(0.05);
    const int before = int(sim.requests().size());
    QTimer::singleShot(0, &host,
                       [&] { host.tab->findChild<QPushButton*>(QStringLiteral("cmdBreak"))->click(); });
    const int cancelled = host.tab->SearchRegisterValue(8, 0, 255);
    const int afterCancel = int(sim.requests().size()) - before - 1;
    host.tab->SwitchProgrammingMode(false);

    const int reads = s.cvRounds * s.cvRepeat;
    const int searches = s.searchRounds * s.searchRepeat;
    std::printf("%s\n", s.name);
    std::printf("  CV read (%d exchanges):        tab %8.3f ms, bare %8.3f ms, ratio %.2f\n", exchangesCv,
                tabCv, bareCv, tabCv / bareCv);
    std::printf("  register search (%d exchanges): tab %8.3f ms, bare %8.3f ms, ratio %.2f\n",
                exchangesSearch, tabSearch, bareS, tabSearch / bareS);
    std::printf("  per exchange: tab %.3f ms, bare %.3f ms, overhead %.3f ms (read) %.3f ms (search)\n",
                tabSearch / exchangesSearch, bareS / exchangesSearch, (tabCv - bareCv) / exchangesCv,
                (tabSearch - bareS) / exchangesSearch);
    if (s.decoderCvMs > 0)
        std::printf("  overhead against the decoder's own time: read %.2f %%, search %.2f %%\n",
                    100.0 * (tabCv - bareCv) / s.decoderCvMs,
                    100.0 * (tabSearch - bareS) / s.decoderSearchMs);
    std::printf("  paints during %d reads and %d searches: progress bar %d, all other widgets %d\n", reads,
                searches, paints.bar, paints.others);
    std::printf("  Abbruch after the first exchange: result %d, exchanges after it %d\n", cancelled,
                afterCancel);
    if (wrong)
        std::printf("  WRONG VALUES READ\n");
    link.close();
    return !wrong && cancelled == -2 && afterCancel == 0;
}

} // namespace

int main(int argc, char** argv)
{
    return runBenchmark(argc, argv, "taktora-progbench", [](QApplication&) {
        // CV 7 = 42 (three bits set) and register 8 = 255 (the whole range) unpaced; with the
        // decoder's timing register 8 = 20 keeps the search at 21 verifies, about three seconds.
        const Setting unpaced{"unpaced, answers at once", {}, 9, 40, 9, 4, 42, 255, 0, 0};
        const Setting decoder{"decoder timing: --pace --verify-ms 35,145 --write-ms 60",
                              {QStringLiteral("--pace"), QStringLiteral("--verify-ms"),
                               QStringLiteral("35,145"), QStringLiteral("--write-ms"), QStringLiteral("60")},
                              2,
                              1,
                              2,
                              1,
                              42,
                              20,
                              3 * 35.0 + 5 * 145.0,
                              20 * 145.0 + 35.0};
        const Setting settings[] = {unpaced, decoder};
        const auto failed =
            std::count_if(std::begin(settings), std::end(settings), [](const Setting& s) { return !run(s); });
        for (const MessageBox::Shown& box : MessageBox::takeShown())
            std::printf("  message: %s\n", qPrintable(box.text));
        return int(failed);
    });
}

#include "taktora-progbench.moc"
