// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinkTools.h"

#include "PortErrors.h"
#include "SerialPortInterface.h"
#include "TaktoraVersion.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <QSettings>
#include <QTimer>

namespace {
QSettings openSettings()
{
    return QSettings(QLatin1String(Settings::Organization), QLatin1String(Settings::Application));
}

QString sectionOrTitle(const QString& section)
{
    return section.isEmpty() ? ProgramTitle() : section;
}
} // namespace

QString ProgramTitle()
{
    return QString::fromUtf8(TaktoraVersion::ProgramTitle);
}

void WaitSeconds(double s)
{
    if (!(s > 0))
        return;
    QEventLoop loop;
    QTimer::singleShot(qint64(s * 1000.0), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool ScreenRate::due()
{
    if (remainingMs() > 0)
        return false;
    restart();
    return true;
}

qint64 ScreenRate::remainingMs() const
{
    return m_started ? qBound<qint64>(0, IntervalMs - (m_clock.nowMs() - m_lastMs), IntervalMs) : 0;
}

void ScreenRate::restart()
{
    m_started = true;
    m_lastMs = m_clock.nowMs();
}

void ScreenRateEvents::take()
{
    if (m_rate.due())
        QCoreApplication::processEvents(m_flags);
}

QString ReadSetting(const QString& key, const QString& defaultValue, const QString& section)
{
    QSettings settings = openSettings();
    settings.beginGroup(sectionOrTitle(section));
    const QVariant value = settings.value(key);
    // A hand-edited file may hold a list ("a, b"); read it back as the text it was.
    const QString text = value.userType() == QMetaType::QStringList
                             ? value.toStringList().join(QStringLiteral(", "))
                             : value.toString();
    return text.isEmpty() ? defaultValue : text;
}

void WriteSetting(const QString& key, const QString& value, const QString& section)
{
    QSettings settings = openSettings();
    settings.beginGroup(sectionOrTitle(section));
    settings.setValue(key, value);
}

QString ReadSetting(const Settings::Key& key, const char* section)
{
    return ReadSetting(QLatin1String(key.name), QString::fromUtf8(key.fallback), QLatin1String(section));
}

void WriteSetting(const Settings::Key& key, const QString& value, const char* section)
{
    WriteSetting(QLatin1String(key.name), value, QLatin1String(section));
}

QString SupportContactBlock()
{
    return QStringLiteral("KORADIN Modellbahnelektronik – Kundendienst Taktora\n"
                          "Telefon: +49 30 555 0142 (Mo–Fr 9–17 Uhr)\n"
                          "E-Mail: service@koradin.example");
}

QString ErrorReportText(const QString& message)
{
    QString text = ReplaceAll(message, QStringLiteral("$"), QStringLiteral("\n"));
    bool isNumber = false;
    const int number = text.trimmed().toInt(&isNumber);
    if (isNumber)
        text = QStringLiteral("Fehler ") + QString::number(number) + QStringLiteral(": ") +
               portErrorDescription(number);
    return text + QStringLiteral("\n\nFür Rückfragen und Informationen stehen wir ") +
           QStringLiteral("Ihnen gerne zur Verfügung:\n\n") + SupportContactBlock();
}

QString PortAccessErrorText(const QString& portName, int errorNumber, const QString& errorText)
{
    return QStringLiteral("Fehler beim Zugriff auf ") + portName +
           QStringLiteral("\n\nBitte überprüfen Sie den eingestellten COM-Port.\n\n(Fehler ") +
           QString::number(errorNumber) + QStringLiteral(" - ") + errorText + QStringLiteral(")");
}

QString ReplaceAll(const QString& text, const QString& search, const QString& replacement)
{
    if (search.isEmpty())
        return text;
    // QString goes on behind each replacement, so a replacement holding the search text stays.
    return QString(text).replace(search, replacement);
}

QString WriteWholeFile(const QString& path, const QByteArray& data)
{
    // The flush first: commit() takes a file whose buffer failed to go out for whole.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.flush() && file.commit())
        return QString();
    return file.errorString();
}
