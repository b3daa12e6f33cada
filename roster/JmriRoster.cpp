// SPDX-License-Identifier: GPL-3.0-or-later
#include "JmriRoster.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

using Roster::Entry;
using Roster::XmlFragment;
using Roster::XmlToken;

namespace Jmri {

namespace {

const QString Locomotive = QStringLiteral("locomotive");
const QString LocoAddress = QStringLiteral("locoaddress");
const QString FunctionLabels = QStringLiteral("functionlabels");
const QString Values = QStringLiteral("values");

// The attributes of `locomotive` that the entry holds itself; dccAddress follows the number.
const QStringList OwnAttributes = {
    QStringLiteral("id"),         QStringLiteral("fileName"), QStringLiteral("roadName"),
    QStringLiteral("roadNumber"), QStringLiteral("model"),    QStringLiteral("owner"),
    QStringLiteral("comment"),    QStringLiteral("maxSpeed"), QStringLiteral("dccAddress")};

bool isYes(QStringView text)
{
    return text.compare(u"yes", Qt::CaseInsensitive) == 0 || text.compare(u"true", Qt::CaseInsensitive) == 0;
}

// The whole element the reader stands on, its start tag to its end tag.
XmlFragment readFragment(QXmlStreamReader& xml)
{
    XmlFragment fragment;
    int depth = 0;
    do {
        switch (xml.tokenType()) {
        case QXmlStreamReader::StartElement:
            fragment.append(XmlToken{XmlToken::Start, xml.qualifiedName().toString(), xml.attributes()});
            ++depth;
            break;
        case QXmlStreamReader::EndElement:
            fragment.append(XmlToken{XmlToken::End, QString(), {}});
            --depth;
            break;
        case QXmlStreamReader::Characters:
            if (!xml.isWhitespace())
                fragment.append(XmlToken{XmlToken::Text, xml.text().toString(), {}});
            break;
        case QXmlStreamReader::Comment:
            fragment.append(XmlToken{XmlToken::Comment, xml.text().toString(), {}});
            break;
        default:
            break;
        }
        if (depth == 0)
            break;
        xml.readNext();
    } while (!xml.atEnd());
    return fragment;
}

void writeFragment(QXmlStreamWriter& xml, const XmlFragment& fragment)
{
    for (const XmlToken& t : fragment) {
        switch (t.kind) {
        case XmlToken::Start:
            xml.writeStartElement(t.name);
            for (const QXmlStreamAttribute& a : t.attributes)
                xml.writeAttribute(a.qualifiedName().toString(), a.value().toString());
            break;
        case XmlToken::End:
            xml.writeEndElement();
            break;
        case XmlToken::Text:
            xml.writeCharacters(t.name);
            break;
        case XmlToken::Comment:
            xml.writeComment(t.name);
            break;
        }
    }
}

void readLocoAddress(QXmlStreamReader& xml, Entry& entry)
{
    while (xml.readNextStartElement()) {
        if (xml.name() == u"dcclocoaddress") {
            entry.number = xml.attributes().value(QLatin1String("number")).toInt();
            entry.longAddress = isYes(xml.attributes().value(QLatin1String("longaddress")));
        }
        xml.skipCurrentElement();
    }
}

void readFunctionLabels(QXmlStreamReader& xml, Entry& entry)
{
    while (xml.readNextStartElement()) {
        bool ok = false;
        const int num = xml.attributes().value(QLatin1String("num")).toInt(&ok);
        if (xml.name() != u"functionlabel" || !ok || num < 0 || num >= Roster::FunctionCount) {
            entry.otherLabels.append(readFragment(xml));
            continue;
        }
        // Without the attribute JMRI takes a function as latching.
        const QStringView lockable = xml.attributes().value(QLatin1String("lockable"));
        Roster::Function& f = entry.functions[static_cast<size_t>(num)];
        f.momentary = !lockable.isEmpty() && !isYes(lockable);
        f.label = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
    }
}

void readValues(QXmlStreamReader& xml, Entry& entry)
{
    while (xml.readNextStartElement()) {
        if (xml.name() == u"CVvalue") {
            entry.cvValues.append(qMakePair(xml.attributes().value(QLatin1String("name")).toString(),
                                            xml.attributes().value(QLatin1String("value")).toString()));
            xml.skipCurrentElement();
        } else {
            entry.otherValues.append(readFragment(xml));
        }
    }
}

// The reader stands on a `locomotive` start tag.
Entry readLocomotive(QXmlStreamReader& xml)
{
    Entry entry;
    const QXmlStreamAttributes attributes = xml.attributes();
    entry.id = attributes.value(QLatin1String("id")).toString();
    entry.fileName = attributes.value(QLatin1String("fileName")).toString();
    entry.roadName = attributes.value(QLatin1String("roadName")).toString();
    entry.roadNumber = attributes.value(QLatin1String("roadNumber")).toString();
    entry.model = attributes.value(QLatin1String("model")).toString();
    entry.owner = attributes.value(QLatin1String("owner")).toString();
    entry.comment = attributes.value(QLatin1String("comment")).toString();
    bool ok = false;
    const int maxSpeed = attributes.value(QLatin1String("maxSpeed")).toInt(&ok);
    entry.maxSpeed = ok ? maxSpeed : Roster::FullSpeed;
    // Without an address element JMRI's index gives it here.
    entry.number = attributes.value(QLatin1String("dccAddress")).toInt();
    entry.longAddress = Roster::defaultLongAddress(entry.number);
    for (const QXmlStreamAttribute& a : attributes)
        if (!OwnAttributes.contains(a.qualifiedName().toString()))
            entry.otherAttributes.append(a);

    while (xml.readNextStartElement()) {
        const QString name = xml.name().toString();
        if (name == LocoAddress)
            readLocoAddress(xml, entry);
        else if (name == FunctionLabels)
            readFunctionLabels(xml, entry);
        else if (name == Values)
            readValues(xml, entry);
        else {
            entry.children.append(Entry::Child{QString(), readFragment(xml)});
            continue;
        }
        entry.children.append(Entry::Child{name, {}});
    }
    return entry;
}

QString problemText(const QString& label, qint64 line, const QString& text)
{
    return label + QStringLiteral(", Zeile ") + QString::number(line) + QStringLiteral(": ") + text;
}

// Takes the entry when its number fits the Controller, reports it otherwise.
void take(Reading& reading, Entry entry, const QString& label, qint64 line)
{
    if (entry.id.isEmpty())
        entry.id = QString::number(entry.number);
    if (!Roster::isValidNumber(entry.number)) {
        reading.problems << problemText(label, line,
                                        QStringLiteral("Lok \"") + entry.id +
                                            QStringLiteral("\" hat keine Loknummer von 1 bis 10239."));
        return;
    }
    if (!Roster::isValidMaxSpeed(entry.maxSpeed))
        entry.maxSpeed = Roster::FullSpeed;
    reading.entries.append(entry);
}

Reading read(const QByteArray& data, const QString& label, const QString& root, bool index)
{
    Reading reading;
    QXmlStreamReader xml(data);
    if (!xml.readNextStartElement() || xml.name() != root) {
        reading.problems << problemText(label, xml.lineNumber(),
                                        xml.hasError() ? xml.errorString()
                                                       : QStringLiteral("keine JMRI-Rosterdatei"));
        reading.damaged = true;
        return reading;
    }
    const auto takeLocomotives = [&] {
        while (xml.readNextStartElement()) {
            if (xml.name() == Locomotive) {
                const qint64 line = xml.lineNumber();
                Entry entry = readLocomotive(xml);
                if (xml.hasError())
                    break; // a half-read entry is not taken
                take(reading, entry, label, line);
            } else {
                xml.skipCurrentElement();
            }
        }
    };
    if (index) {
        while (xml.readNextStartElement()) {
            if (xml.name() == u"roster")
                takeLocomotives();
            else
                xml.skipCurrentElement();
        }
    } else {
        takeLocomotives();
    }
    if (xml.hasError()) {
        reading.problems << problemText(label, xml.lineNumber(), xml.errorString());
        reading.damaged = true;
    }
    return reading;
}

void writeLocomotive(QXmlStreamWriter& xml, const Entry& entry, bool withValues)
{
    xml.writeStartElement(Locomotive);
    xml.writeAttribute(QStringLiteral("id"), entry.id);
    xml.writeAttribute(QStringLiteral("fileName"), entry.fileName);
    xml.writeAttribute(QStringLiteral("roadNumber"), entry.roadNumber);
    xml.writeAttribute(QStringLiteral("roadName"), entry.roadName);
    xml.writeAttribute(QStringLiteral("model"), entry.model);
    xml.writeAttribute(QStringLiteral("owner"), entry.owner);
    xml.writeAttribute(QStringLiteral("dccAddress"), QString::number(entry.number));
    xml.writeAttribute(QStringLiteral("comment"), entry.comment);
    xml.writeAttribute(QStringLiteral("maxSpeed"), QString::number(entry.maxSpeed));
    for (const QXmlStreamAttribute& a : entry.otherAttributes)
        xml.writeAttribute(a.qualifiedName().toString(), a.value().toString());

    const auto writeKnown = [&](const QString& name) {
        if (name == LocoAddress) {
            xml.writeStartElement(LocoAddress);
            xml.writeStartElement(QStringLiteral("dcclocoaddress"));
            xml.writeAttribute(QStringLiteral("number"), QString::number(entry.number));
            xml.writeAttribute(QStringLiteral("longaddress"),
                               entry.longAddress ? QStringLiteral("yes") : QStringLiteral("no"));
            xml.writeEndElement();
            xml.writeTextElement(QStringLiteral("number"), QString::number(entry.number));
            xml.writeTextElement(QStringLiteral("protocol"), entry.longAddress ? QStringLiteral("dcc_long")
                                                                               : QStringLiteral("dcc_short"));
            xml.writeEndElement();
        } else if (name == FunctionLabels) {
            xml.writeStartElement(FunctionLabels);
            for (int f = 0; f < Roster::FunctionCount; ++f) {
                const Roster::Function& fn = entry.functions[static_cast<size_t>(f)];
                if (fn.label.isEmpty() && !fn.momentary)
                    continue;
                xml.writeStartElement(QStringLiteral("functionlabel"));
                xml.writeAttribute(QStringLiteral("num"), QString::number(f));
                xml.writeAttribute(QStringLiteral("lockable"),
                                   fn.momentary ? QStringLiteral("false") : QStringLiteral("true"));
                xml.writeCharacters(fn.label);
                xml.writeEndElement();
            }
            writeFragment(xml, entry.otherLabels);
            xml.writeEndElement();
        } else if (name == Values && withValues) {
            xml.writeStartElement(Values);
            writeFragment(xml, entry.otherValues);
            for (const auto& [cv, value] : entry.cvValues) {
                xml.writeEmptyElement(QStringLiteral("CVvalue"));
                xml.writeAttribute(QStringLiteral("name"), cv);
                xml.writeAttribute(QStringLiteral("value"), value);
            }
            xml.writeEndElement();
        }
    };
    QStringList written;
    for (const Entry::Child& child : entry.children) {
        if (child.known.isEmpty()) {
            if (withValues)
                writeFragment(xml, child.unknown);
        } else if (!written.contains(child.known)) {
            writeKnown(child.known);
            written << child.known;
        }
    }
    for (const QString& name : {LocoAddress, FunctionLabels, Values})
        if (!written.contains(name))
            writeKnown(name);
    xml.writeEndElement();
}

void startDocument(QXmlStreamWriter& xml, const QString& root, const QString& schema)
{
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(2);
    xml.writeStartDocument();
    xml.writeStartElement(root);
    xml.writeNamespace(QStringLiteral("http://www.w3.org/2001/XMLSchema-instance"), QStringLiteral("xsi"));
    xml.writeAttribute(QStringLiteral("xsi:noNamespaceSchemaLocation"),
                       QStringLiteral("http://jmri.org/xml/schema/") + schema);
}

} // namespace

Reading readLocoFile(const QByteArray& xml, const QString& label)
{
    return read(xml, label, QStringLiteral("locomotive-config"), false);
}

Reading readIndex(const QByteArray& xml, const QString& label)
{
    return read(xml, label, QStringLiteral("roster-config"), true);
}

QByteArray writeLocoFile(const Entry& entry)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    startDocument(xml, QStringLiteral("locomotive-config"), QStringLiteral("locomotive-config.xsd"));
    writeLocomotive(xml, entry, true);
    xml.writeEndDocument();
    return out;
}

QByteArray writeIndex(const QList<Entry>& entries)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    startDocument(xml, QStringLiteral("roster-config"), QStringLiteral("roster-config.xsd"));
    xml.writeStartElement(QStringLiteral("roster"));
    for (const Entry& e : entries)
        writeLocomotive(xml, e, false);
    xml.writeEndElement();
    xml.writeEndDocument();
    return out;
}

} // namespace Jmri
