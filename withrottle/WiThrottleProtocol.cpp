// SPDX-License-Identifier: GPL-3.0-or-later
#include "WiThrottleProtocol.h"

#include "TaktoraVersion.h"

#include <QStringList>

namespace WiThrottle {

namespace {
const QByteArray kSeparator("<;>");

Line malformed(const char* why)
{
    Line line;
    line.kind = LineKind::Malformed;
    line.text = QString::fromUtf8(why);
    return line;
}

Line refused(const QString& why)
{
    Line line;
    line.kind = LineKind::Refused;
    line.text = why;
    return line;
}

Line unsupported(const QString& what = QString())
{
    Line line;
    line.kind = LineKind::Unsupported;
    line.text = what.isEmpty() ? QString() : notSupportedText(what);
    return line;
}

// Digits only, at most six of them, so no number can overflow.
std::optional<int> number(const QByteArray& digits)
{
    if (digits.isEmpty() || digits.size() > 6)
        return std::nullopt;
    int value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// "S3" or "L341": a DCC address the Controller can drive.
std::optional<int> address(const QByteArray& text)
{
    if (text.size() < 2 || (text[0] != 'S' && text[0] != 'L'))
        return std::nullopt;
    const auto n = number(text.mid(1));
    if (!n || *n < 1 || *n > (text[0] == 'S' ? HighestShortAddress : HighestAddress))
        return std::nullopt;
    return n;
}

// "S128" and up: a number that only a long address carries, so the phone is told, not ignored.
std::optional<int> overlongShortAddress(const QByteArray& text)
{
    const auto n = text.startsWith('S') ? number(text.mid(1)) : std::nullopt;
    return n && *n > HighestShortAddress ? n : std::nullopt;
}

// Nothing when the action is understood, else why not.
const char* parseAction(const QByteArray& a, Line& line)
{
    const char* const unknown = "unbekannter Befehl";
    if (a.isEmpty())
        return unknown;
    const QByteArray rest = a.mid(1);
    switch (a[0]) {
    case 'V': {
        const bool negative = rest.startsWith('-');
        const auto v = number(negative ? rest.mid(1) : rest);
        if (!v)
            return unknown;
        if (!negative && *v > HighestPhoneSpeed)
            return "Geschwindigkeit über 126";
        // A negative speed is the protocol's emergency stop.
        line.action = negative ? Action::EmergencyStop : Action::Speed;
        line.value = negative ? 0 : *v;
        return nullptr;
    }
    case 'R': {
        const auto v = number(rest);
        if (!v)
            return unknown;
        line.action = Action::Direction;
        line.value = *v == 0 ? 0 : 1;
        return nullptr;
    }
    case 'F':
    case 'f': {
        if (rest.size() < 2 || (rest[0] != '0' && rest[0] != '1'))
            return unknown;
        const auto f = number(rest.mid(1));
        if (!f)
            return unknown;
        line.action = a[0] == 'F' ? Action::Function : Action::ForceFunction;
        line.pressed = rest[0] == '1';
        line.function = *f;
        return nullptr;
    }
    case 'X':
    case 'I':
        if (!rest.isEmpty())
            return unknown;
        line.action = a[0] == 'X' ? Action::EmergencyStop : Action::Idle;
        return nullptr;
    case 's': {
        const auto v = number(rest);
        if (!v)
            return unknown;
        line.action = Action::SpeedStepMode;
        line.value = *v;
        return nullptr;
    }
    case 'q':
        if (rest == "V")
            line.action = Action::QuerySpeed;
        else if (rest == "R")
            line.action = Action::QueryDirection;
        else
            line.action = Action::Ignored;
        return nullptr;
    case 'm': // momentary setting of a function: the Controller has no such thing
    case 'r':
    case 'd':
    case 'C':
    case 'c':
        line.action = Action::Ignored;
        return nullptr;
    default:
        return unknown;
    }
}

Line parseMultiThrottle(const QByteArray& text)
{
    // M, the throttle's key character, the operation, then key<;>argument.
    if (text.size() < 4)
        return malformed("zu kurz");
    Line line;
    line.throttle = text[1];
    if (line.throttle <= ' ' || line.throttle > '~')
        return malformed("unbekannter Handregler");
    const char op = text[2];
    const int split = text.indexOf(kSeparator, 3);
    const QByteArray key = split < 0 ? text.mid(3) : text.mid(3, split - 3);
    const QByteArray argument = split < 0 ? QByteArray() : text.mid(split + kSeparator.size());
    if (key == "*") {
        line.key = QStringLiteral("*");
    } else if (const auto a = address(key)) {
        line.key = QString::fromLatin1(key);
        line.address = *a;
    } else if (const auto n = overlongShortAddress(key)) {
        return refused(shortAddressText(*n));
    } else {
        return malformed("ungültige Lok-Adresse");
    }

    switch (op) {
    case '+':
        if (line.key == QLatin1String("*") || split < 0)
            return malformed("Lok fehlt");
        line.kind = LineKind::Acquire;
        if (argument.startsWith('E') && argument.size() > 1) {
            line.text = QString::fromUtf8(argument.mid(1));
        } else if (const auto a = address(argument)) {
            // The key names the loco in every later line: one for another loco would drive that one.
            if (*a != line.address)
                return refused(addressMismatchText(line.key, QString::fromLatin1(argument)));
        } else if (const auto n = overlongShortAddress(argument)) {
            return refused(shortAddressText(*n));
        } else {
            return malformed("ungültige Lok-Adresse");
        }
        return line;
    case '-':
        line.kind = LineKind::Release;
        return line;
    case 'A':
        line.kind = LineKind::Action;
        if (const char* why = parseAction(argument, line))
            return malformed(why);
        return line;
    case 'S': // steal: nothing is ever held against another throttle here
        return unsupported();
    default:
        return malformed("unbekannter Befehl");
    }
}
} // namespace

Line parseLine(const QByteArray& text)
{
    Line line;
    if (text.isEmpty()) {
        line.kind = LineKind::Empty;
        return line;
    }
    if (text.size() > MaxLineLength)
        return malformed("zu lang");
    switch (text[0]) {
    case '*':
        if (text == "*")
            line.kind = LineKind::Heartbeat;
        else if (text == "*+")
            line.kind = LineKind::HeartbeatOn;
        else if (text == "*-")
            line.kind = LineKind::HeartbeatOff;
        else
            return malformed("unbekannter Befehl");
        return line;
    case 'N':
        line.kind = LineKind::Name;
        line.text = QString::fromUtf8(text.mid(1)).left(60);
        return line;
    case 'H':
        if (!text.startsWith("HU"))
            return unsupported();
        line.kind = LineKind::HardwareId;
        line.text = QString::fromUtf8(text.mid(2)).left(60);
        return line;
    case 'Q':
        if (text.size() != 1)
            return malformed("unbekannter Befehl");
        line.kind = LineKind::Quit;
        return line;
    case 'P':
        if (text == "PPA0" || text == "PPA1") {
            line.kind = LineKind::Power;
            line.value = text[3] - '0';
            return line;
        }
        if (text.startsWith("PPA"))
            return malformed("ungültiger Wert");
        if (text.startsWith("PTA") || text.startsWith("PRA")) {
            const bool turnout = text[1] == 'T';
            const char command = text.size() > 4 ? text[3] : '\0';
            if (turnout ? (command != 'C' && command != 'T' && command != '2') : command != '2')
                return malformed("ungültiger Befehl");
            line.kind = turnout ? LineKind::Turnout : LineKind::Route;
            line.value = command == 'C' ? Close : command == 'T' ? Throw : Toggle;
            line.text = QString::fromUtf8(text.mid(4));
            return line;
        }
        return unsupported();
    case 'M':
        return parseMultiThrottle(text);
    case 'R': // consists ("RC..."), and roster commands of old clients
        return unsupported(text.startsWith("RC") ? QStringLiteral("Mehrfachtraktionen") : QString());
    case 'D': // DCC packets sent as they are
        return unsupported(QStringLiteral("Direkte DCC-Befehle"));
    case 'T': // the single throttles of old clients
    case 'S':
    case 'C':
        return unsupported();
    default:
        return malformed("unbekannter Befehl");
    }
}

QString addressKey(int address)
{
    return (address < 128 ? QStringLiteral("S") : QStringLiteral("L")) + QString::number(address);
}

quint8 controllerSpeed(int phone)
{
    const int clamped = qBound(0, phone, HighestPhoneSpeed);
    return static_cast<quint8>((clamped * 255 + HighestPhoneSpeed / 2) / HighestPhoneSpeed);
}

int phoneSpeed(quint8 controller)
{
    return (controller * HighestPhoneSpeed + 127) / 255;
}

int phoneSpeedStepMode(quint8 code)
{
    switch (code) {
    case 1:
        return 8; // 14 steps
    case 2:
        return 2; // 28 steps
    default:
        // 126 steps, the protocol's "128"; also for a loco without a mode: the speed byte goes
        // out unscaled, so the phone's finest steps are the truest.
        return 1;
    }
}

QByteArray versionLine()
{
    return "VN2.0\n";
}

QByteArray serverTypeLine()
{
    return QByteArray("HT") + TaktoraVersion::ProductName + '\n';
}

QByteArray serverDescriptionLine()
{
    return QByteArray("Ht") + TaktoraVersion::ProgramTitle + ' ' + QByteArray::number(TaktoraVersion::Major) +
           '.' + QByteArray::number(TaktoraVersion::Minor) + '\n';
}

namespace {
// A name or label inside a line: the protocol's separators and line ends cannot be part of it.
QByteArray phoneText(const QString& text)
{
    QString clean = text;
    for (const char* separator : {"]\\[", "}|{", "[", "]", "{", "}", "|", ";", "\n", "\r"})
        clean.replace(QLatin1String(separator), QStringLiteral(" "));
    return clean.simplified().left(64).toUtf8();
}
} // namespace

QString rosterName(int address)
{
    return QStringLiteral("Lok ") + QString::number(address);
}

QString displayName(const RosterEntry& entry)
{
    const QString name = QString::fromUtf8(phoneText(entry.name));
    return name.isEmpty() ? rosterName(entry.address) : name;
}

QByteArray rosterLine(const QList<RosterEntry>& roster)
{
    QByteArray line = "RL" + QByteArray::number(roster.size());
    for (const RosterEntry& e : roster)
        line += "]\\[" + displayName(e).toUtf8() + "}|{" + QByteArray::number(e.address) + "}|{" +
                (e.address < 128 ? "S" : "L");
    return line + '\n';
}

QByteArray powerLine(std::optional<bool> on)
{
    return on ? (*on ? "PPA1\n" : "PPA0\n") : "PPA2\n";
}

QString turnoutSystemName(int index)
{
    return QStringLiteral("LT%1").arg(index + 1);
}

QString routeSystemName(int index)
{
    return QStringLiteral("IR%1").arg(index + 1);
}

namespace {
std::optional<int> indexAfter(const QString& systemName, const QLatin1String& prefix)
{
    if (!systemName.startsWith(prefix))
        return std::nullopt;
    const auto n = number(systemName.mid(prefix.size()).toLatin1());
    return n && *n >= 1 ? std::optional<int>(*n - 1) : std::nullopt;
}

QByteArray listLine(const char* head, const QList<ListedItem>& items)
{
    QByteArray line = head;
    for (const ListedItem& i : items)
        line +=
            "]\\[" + i.systemName.toUtf8() + "}|{" + phoneText(i.name) + "}|{" + QByteArray::number(i.state);
    return line + '\n';
}
} // namespace

std::optional<int> turnoutIndex(const QString& systemName)
{
    return indexAfter(systemName, QLatin1String("LT"));
}

std::optional<int> routeIndex(const QString& systemName)
{
    return indexAfter(systemName, QLatin1String("IR"));
}

QByteArray turnoutTitlesLine()
{
    return QStringLiteral("PTT]\\[Weichen}|{Weiche]\\[gerade}|{2]\\[abzweigend}|{4]\\[unbekannt}|{1\n")
        .toUtf8();
}

QByteArray turnoutListLine(const QList<ListedItem>& turnouts)
{
    return listLine("PTL", turnouts);
}

QByteArray turnoutStateLine(const ListedItem& turnout)
{
    return "PTA" + QByteArray::number(turnout.state) + turnout.systemName.toUtf8() + '\n';
}

QByteArray routeTitlesLine()
{
    return QStringLiteral(
               "PRT]\\[Fahrstraßen}|{Fahrstraße]\\[gestellt}|{2]\\[nicht gestellt}|{4]\\[unbekannt}|{0\n")
        .toUtf8();
}

QByteArray routeListLine(const QList<ListedItem>& routes)
{
    return listLine("PRL", routes);
}

QByteArray routeStateLine(const ListedItem& route)
{
    return "PRA" + QByteArray::number(route.state) + route.systemName.toUtf8() + '\n';
}

QByteArray heartbeatLine(int seconds)
{
    return '*' + QByteArray::number(seconds) + '\n';
}

QByteArray alertLine(const QString& text)
{
    return "HM" + text.toUtf8() + '\n';
}

QByteArray infoLine(const QString& text)
{
    return "Hm" + text.toUtf8() + '\n';
}

QByteArray acquiredLine(char throttle, const QString& key)
{
    return QByteArray("M") + throttle + '+' + key.toLatin1() + kSeparator + '\n';
}

QByteArray releasedLine(char throttle, const QString& key)
{
    return QByteArray("M") + throttle + '-' + key.toLatin1() + kSeparator + '\n';
}

QByteArray functionLabelsLine(char throttle, const QString& key, const QStringList& labels)
{
    // Only the functions the Controller switches get a button on the phone.
    QByteArray line = QByteArray("M") + throttle + 'L' + key.toLatin1() + kSeparator;
    for (int f = 0; f <= HighestFunction; ++f) {
        const QString label = f < labels.size() ? labels.at(f) : QString();
        line += "]\\[" + (label.isEmpty() ? (f == 0 ? QByteArray("Licht") : "F" + QByteArray::number(f))
                                          : phoneText(label));
    }
    return line + "]\\[\n";
}

QByteArray stateLine(char throttle, const QString& key, const QByteArray& state)
{
    return QByteArray("M") + throttle + 'A' + key.toLatin1() + kSeparator + state + '\n';
}

QByteArray speedState(quint8 controller)
{
    return 'V' + QByteArray::number(phoneSpeed(controller));
}

QByteArray directionState(bool forward)
{
    return forward ? "R1" : "R0";
}

QByteArray functionState(int function, bool on)
{
    return QByteArray("F") + (on ? '1' : '0') + QByteArray::number(function);
}

QString functionNotAvailableText(int function)
{
    return QStringLiteral("F%1 steht nicht zur Verfügung: der Controller schaltet nur F0 bis F%2.")
        .arg(function)
        .arg(HighestFunction);
}

QString heartbeatLostText()
{
    return QStringLiteral("Verbindung unterbrochen: Ihre Loks wurden angehalten und freigegeben.");
}

QString shortAddressText(int address)
{
    return QStringLiteral(
               "Lok S%1 abgelehnt: kurze Adressen reichen nur bis %2. Wählen Sie die lange Adresse.")
        .arg(address)
        .arg(HighestShortAddress);
}

QString addressMismatchText(const QString& key, const QString& loco)
{
    return QStringLiteral("Lok abgelehnt: der Handregler nennt sie %1 und %2.").arg(key, loco);
}

QString unknownLocoText(const QString& rosterName)
{
    return QStringLiteral("„%1“ steht nicht in der Lok-Konfiguration des Controllers.").arg(rosterName);
}

QString notSupportedText(const QString& what)
{
    return QStringLiteral("%1 werden von %2 noch nicht unterstützt.")
        .arg(what, QString::fromUtf8(TaktoraVersion::ProductName));
}

QString turnoutsNotAllowedText()
{
    return QStringLiteral("Weichen und Fahrstraßen dürfen von Handreglern nicht geschaltet werden.");
}

QString turnoutNotForPhonesText()
{
    return QStringLiteral("Diese Weiche dürfen Handregler nicht schalten.");
}

QString routeNotForPhonesText()
{
    return QStringLiteral("Diese Fahrstraße dürfen Handregler nicht stellen.");
}

} // namespace WiThrottle
