// SPDX-License-Identifier: GPL-3.0-or-later
// Loaded into an installed taktora through LD_PRELOAD (scripts/package-check.sh): once the main
// window is up, it presses "Prüfen" and the help button as a user would. The program ends with 0
// when the Controller check passed and the help button reached a PDF manual, otherwise with 1 and
// what went wrong on stderr.

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <cstdio>
#include <unistd.h>

namespace {

// Ends at once: the window's own closing questions are not part of the smoke check.
[[noreturn]] void finish(int code, const QString& text)
{
    std::fprintf(code ? stderr : stdout, "smoke: %s\n", qPrintable(text));
    std::fflush(nullptr);
    ::_exit(code);
}

class SmokeDriver : public QObject
{
    Q_OBJECT

public:
    explicit SmokeDriver(QObject* parent) : QObject(parent)
    {
        // Two timers: a timer does not fire again while its own slot waits in a message box.
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, &SmokeDriver::step);
        poll->start(100);
        auto* boxes = new QTimer(this);
        connect(boxes, &QTimer::timeout, this, &SmokeDriver::failOnMessageBox);
        boxes->start(100);
        auto* deadline = new QTimer(this);
        deadline->setSingleShot(true);
        connect(deadline, &QTimer::timeout, this, [] { finish(1, QStringLiteral("no result within 30 s")); });
        deadline->start(30000);
    }

public slots:
    // The help button's document opener ends here instead of in a PDF viewer.
    void openManual(const QUrl& url)
    {
        QFile manual(url.toLocalFile());
        if (!manual.open(QIODevice::ReadOnly) || !manual.read(4).startsWith("%PDF"))
            finish(1, QStringLiteral("no PDF manual at ") + url.toString());
        finish(0, QStringLiteral("status \"%1\", manual %2").arg(m_status, url.toLocalFile()));
    }

private:
    static void failOnMessageBox()
    {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(top); box && box->isVisible())
                finish(1, QStringLiteral("message box: ") + box->text());
        }
    }

    void step()
    {
        QWidget* window = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->objectName() == QLatin1String("krTaktora") && top->isVisible())
                window = top;
        }
        if (!window || QApplication::activeModalWidget() || m_pressed)
            return;
        m_pressed = true;
        auto* check = window->findChild<QAbstractButton*>(QStringLiteral("btnCheck"));
        auto* status = window->findChild<QLabel*>(QStringLiteral("lblStatus"));
        auto* help = window->findChild<QAction*>(QStringLiteral("btnHelp"));
        if (!check || !status || !help)
            finish(1, QStringLiteral("btnCheck, lblStatus or btnHelp missing"));
        check->click(); // the transaction runs to its end inside
        m_status = status->text();
        if (!m_status.startsWith(QLatin1String("OK")))
            finish(1, QStringLiteral("Controller check failed: ") + m_status);
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openManual");
        help->trigger(); // a missing manual shows a message box, seen by the next step
    }

    bool m_pressed = false;
    QString m_status;
};

void startDriver()
{
    new SmokeDriver(QCoreApplication::instance());
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(startDriver)

#include "SmokeDriver.moc"
