// SPDX-License-Identifier: GPL-3.0-or-later
// The owner of the line: order, merging, holds, refusals and what the layout state learns,
// against an in-memory port that answers every request at once.

#include "CommandSet.h"
#include "FakeSerialPort.h"
#include "Isolation.h"
#include "LayoutState.h"
#include "LineClient.h"
#include "LinePrompter.h"

#include <QCoreApplication>
#include <QtTest>

namespace {
QByteArray echo(const QByteArray& request)
{
    FrameFields f;
    decodeFrame(request, f);
    if (f.command == Command::ControllerControl && f.data1 == ControlOp::TrackMode)
        f.command = Answer::TrackModeAcknowledged;
    return encodeFrame(f);
}

// A prompter whose box runs whatever the test wants while it is open.
struct ScriptedPrompter : LinePrompter
{
    std::function<void()> whileAsking;
    int asked = 0;
    QList<int> portErrors;
    bool retryAfterNoAnswer(quint8) override
    {
        ++asked;
        if (whileAsking)
            whileAsking();
        return false;
    }
    void portFailed(const QString&, const PortError& error) override { portErrors << error.number; }
};

struct Rig
{
    FakeClock clock;
    FakeSerialPort port{&clock};
    ControllerLink link;
    LineClient screen{link, QStringLiteral("Hauptfenster"), LineClient::Kind::Screen};
    LineClient phoneA{link, QStringLiteral("A"), LineClient::Kind::Remote};
    LineClient phoneB{link, QStringLiteral("B"), LineClient::Kind::Remote};
    ScriptedPrompter prompter;

    Rig()
    {
        port.setExistingPorts({QStringLiteral("COM3")});
        port.setResponder(echo);
        link.setPort(&port);
        link.setClock(&clock);
        link.setPrompter(&prompter);
        link.setPortName(QStringLiteral("COM3"));
        link.open(QStringLiteral("COM3"));
        link.setChecked(1);
        port.resetLog();
    }
    void drain()
    {
        for (int i = 0; i < 10000 && link.waitingRequests() > 0; ++i)
            QCoreApplication::processEvents();
    }
};

FrameFields speed(quint16 loco, quint8 v)
{
    return Request::setLocoSpeed(1, loco, v);
}
} // namespace

class TestControllerLink : public QObject
{
    Q_OBJECT

private slots:
    // Stops pass whatever waits; a flood of one loco's speeds goes out as its last; a newer
    // speed from another source makes a waiting one stale; order per loco stays.
    void orderAndMerging()
    {
        Rig rig;
        QList<Outcome::Status> aHeard;
        for (int v = 1; v <= 3000; ++v)
            rig.phoneA.submit(speed(3, static_cast<quint8>(v % 200)),
                              [&aHeard](const Outcome& o) { aHeard << o.status; });
        rig.phoneA.submit(Request::setLocoDirection(1, 3, true));
        rig.phoneA.submit(speed(3, 77));
        rig.phoneA.submit(speed(3, 78));
        rig.phoneB.submit(Request::locoFunction(1, 5, 1, true));
        rig.phoneB.submit(Request::stopLoco(1, 9));
        QCOMPARE(rig.link.waitingRequests(), 5);
        rig.drain();
        QCOMPARE(rig.port.writtenFrames(),
                 (QList<FrameFields>{Request::stopLoco(1, 9), speed(3, 3000 % 200),
                                     Request::locoFunction(1, 5, 1, true),
                                     Request::setLocoDirection(1, 3, true), speed(3, 78)}));
        QCOMPARE(aHeard.count(Outcome::Status::Superseded), 2999);
        QCOMPARE(aHeard.last(), Outcome::Status::Answered);

        // The screen's speed, sent now, is newer than the one a phone has waiting.
        rig.port.resetLog();
        Outcome::Status heard = Outcome::Status::Answered;
        rig.phoneA.submit(speed(3, 10), [&heard](const Outcome& o) { heard = o.status; });
        QVERIFY(rig.screen.transact(speed(3, 90), 2, true, 2).answered());
        rig.drain();
        QCOMPARE(heard, Outcome::Status::Superseded);
        QCOMPARE(rig.port.writtenFrames(), QList<FrameFields>{speed(3, 90)});

        // A stop of all locos makes every waiting speed stale, but not a direction.
        rig.port.resetLog();
        rig.phoneA.submit(speed(4, 10));
        rig.phoneA.submit(Request::setLocoDirection(1, 4, false));
        rig.phoneB.submit(speed(6, 10));
        QVERIFY(rig.screen.transact(Request::stopLoco(1, AllLocos), 2, true, 2).answered());
        rig.drain();
        QCOMPARE(rig.port.writtenFrames(), (QList<FrameFields>{Request::stopLoco(1, AllLocos),
                                                               Request::setLocoDirection(1, 4, false)}));
    }

    // A window that holds the line: its frames go, a phone is refused with the window's reason,
    // the screen's speed waits, stops go between the window's exchanges, and a track-off needs
    // no frame while the window keeps the track switched off.
    void exclusiveWindow()
    {
        Rig rig;
        LineClient window(rig.link, QStringLiteral("Lok-Konfiguration"), LineClient::Kind::Screen);
        window.holdExclusive(QStringLiteral("Die Lok-Konfiguration ist geöffnet."), true);

        Outcome heard;
        rig.phoneA.submit(speed(3, 50), [&heard](const Outcome& o) { heard = o; });
        QCOMPARE(heard.status, Outcome::Status::Busy);
        QCOMPARE(heard.reason, QStringLiteral("Die Lok-Konfiguration ist geöffnet."));
        QCOMPARE(rig.screen.transact(speed(3, 50), 2, true, 2).status, Outcome::Status::Busy);
        rig.phoneA.submit(Request::setTrackMode(1, TrackMode::Off),
                          [&heard](const Outcome& o) { heard = o; });
        QVERIFY(heard.answered());
        rig.phoneA.submit(Request::setTrackMode(1, TrackMode::Operation),
                          [&heard](const Outcome& o) { heard = o; });
        QCOMPARE(heard.status, Outcome::Status::Busy);

        rig.phoneB.submit(Request::stopLoco(1, 3));
        QVERIFY(window.transact(Request::cvBit(1, Command::VerifyCvBit, 7, 0, 1), 0, false, 2).answered());
        rig.drain();
        QVERIFY(window.transact(Request::cvBit(1, Command::VerifyCvBit, 7, 1, 1), 0, false, 2).answered());
        QCOMPARE(
            rig.port.writtenFrames(),
            (QList<FrameFields>{Request::cvBit(1, Command::VerifyCvBit, 7, 0, 1), Request::stopLoco(1, 3),
                                Request::cvBit(1, Command::VerifyCvBit, 7, 1, 1)}));

        // A window of the main window's waits (a slider's last move); it goes once the hold ends.
        rig.screen.submit(speed(5, 40));
        rig.drain();
        QCOMPARE(rig.port.writtenFrames().size(), 3);
        window.releaseExclusive();
        rig.drain();
        QCOMPARE(rig.port.writtenFrames().last(), speed(5, 40));
    }

    // While the failure box of a screen transaction waits for the user, no other transaction
    // starts, but stops still go out; a source that goes keeps its stops on the way.
    void failureBoxAndGoneSource()
    {
        Rig rig;
        rig.port.setResponder([](const QByteArray& r) {
            FrameFields f;
            decodeFrame(r, f);
            return f.data1 == 66 ? QByteArray() : echo(r);
        });
        Outcome::Status nested = Outcome::Status::Answered;
        rig.prompter.whileAsking = [&] {
            rig.phoneA.submit(speed(4, 20));
            rig.phoneA.submit(Request::stopLoco(1, 8));
            nested = rig.screen.transact(speed(4, 30), 2, true, 2).status;
            for (int i = 0; i < 20; ++i)
                QCoreApplication::processEvents();
        };
        QVERIFY(!rig.screen.transact(speed(66, 1), 2, true, 2).answered());
        QCOMPARE(rig.prompter.asked, 1);
        QCOMPARE(nested, Outcome::Status::Busy);
        QCOMPARE(rig.port.writtenFrames(),
                 (QList<FrameFields>{speed(66, 1), speed(66, 1), Request::stopLoco(1, 8)}));
        rig.drain();
        QCOMPARE(rig.port.writtenFrames().last(), speed(4, 20));

        rig.port.resetLog();
        {
            LineClient gone(rig.link, QStringLiteral("weg"), LineClient::Kind::Remote);
            gone.submit(Request::locoFunction(1, 4, 3, true),
                        [](const Outcome&) { QFAIL("told after it went"); });
            gone.submit(Request::stopLoco(1, 4), [](const Outcome&) { QFAIL("told after it went"); });
        }
        rig.drain();
        QCOMPARE(rig.port.writtenFrames(), QList<FrameFields>{Request::stopLoco(1, 4)});
    }

    // What the layout learns from acknowledged requests, and whom it tells.
    void layoutState()
    {
        Rig rig;
        QList<quint16> changed;
        const LineClient* origin = nullptr;
        connect(&rig.link, &ControllerLink::locoChanged, this,
                [&](quint8, quint16 loco, const LocoState&, const LineClient* from) {
                    changed << loco;
                    origin = from;
                });
        rig.phoneA.submit(speed(3, 128));
        rig.phoneA.submit(Request::setLocoDirection(1, 3, true));
        rig.phoneA.submit(Request::locoFunction(1, 3, 0, true));
        rig.phoneA.submit(Request::locoFunction(1, 3, 12, true));
        rig.drain();
        QCOMPARE(origin, &rig.phoneA);
        QCOMPARE(changed, (QList<quint16>{3, 3, 3, 3}));
        LocoState s = rig.link.layout().loco(1, 3);
        QCOMPARE(s.speed, quint8(128));
        QVERIFY(s.forward && s.function(0) && s.function(12) && !s.function(1));
        QVERIFY(rig.screen.transact(speed(3, 128), 2, true, 2).answered());
        QCOMPARE(changed.size(), 4); // nothing new
        QVERIFY(rig.screen.transact(Request::stopLoco(1, AllLocos), 2, true, 2).answered());
        QCOMPARE(rig.link.layout().loco(1, 3).speed, quint8(0));

        LayoutState layout;
        QVERIFY(!layout.power(1));
        layout.apply(Request::setTrackMode(1, TrackMode::Operation),
                     FrameFields{1, Answer::TrackModeAcknowledged, 10, 1, 1});
        QCOMPARE(layout.power(1), std::optional<bool>(true));
        layout.apply(Request::setTrackMode(1, TrackMode::Off),
                     FrameFields{1, 1, 10, 0, 0}); // not acknowledged
        QCOMPARE(layout.power(1), std::optional<bool>(true));
        layout.apply(Request::queryControllerStatus(1), FrameFields{1, 0, 0, 0, 0x10});
        QCOMPARE(layout.power(1), std::optional<bool>(false));
        layout.apply(Request::setLocoSpeed(1, 7, 9), FrameFields{});
        layout.apply(Request::restartController(1), FrameFields{});
        QVERIFY(layout.knownLocos(1).isEmpty() && !layout.power(1));
    }
};

int main(int argc, char** argv)
{
    QTemporaryDir configHome;
    isolateFromTheUser(configHome);
    QCoreApplication app(argc, argv);
    TestControllerLink test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_controllerlink.moc"
