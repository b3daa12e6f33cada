// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgrammingRules.h"

#include "CommandSet.h"
#include "NumberReader.h"

#include <QtMath>

namespace Programming {

namespace {

const QString kCvNumberTag = QStringLiteral("Die CV-Adresse,Mandatory,MIN=1,MAX=1023,NUM");

quint8 commandFor(ProgType type, Operation operation)
{
    const bool write = operation == Write;
    switch (type) {
    case CvBit:
        return write ? Command::WriteCvBit : Command::VerifyCvBit;
    case Register:
        return write ? Command::WriteRegister : Command::VerifyRegister;
    case CvByte:
        break;
    }
    return write ? Command::WriteCvByte : Command::VerifyCvByte;
}

} // namespace

ProgTypeSetup progTypeSetup(ProgType type)
{
    ProgTypeSetup setup;
    switch (type) {
    case CvByte:
        setup.numberCaption = QStringLiteral("CV");
        setup.tags[0] = kCvNumberTag;
        setup.tags[2] = QStringLiteral("Der CV-Wert,Mandatory,MIN=0,MAX=255,NUM");
        break;
    case CvBit:
        setup.numberCaption = QStringLiteral("CV");
        setup.bitFieldShown = true;
        setup.searchEnabled = false; // a single bit cannot be read, only verified
        setup.tags[0] = kCvNumberTag;
        setup.tags[1] = QStringLiteral("Die Bitposition,Mandatory,MIN=0,MAX=7,NUM");
        setup.tags[2] = QStringLiteral("Der Bit-Wert,Mandatory,MIN=0,MAX=1,NUM");
        break;
    case Register:
        setup.numberCaption = QStringLiteral("Register");
        setup.tags[0] = QStringLiteral("Die Register-Adresse,Mandatory,MIN=1,MAX=8,NUM");
        setup.tags[2] = QStringLiteral("Der Register-Wert,Mandatory,MIN=0,MAX=255,NUM");
        break;
    }
    return setup;
}

QString valueAfterTypeChange(ProgType type, const QString& value)
{
    if (type != CvBit)
        return value;
    const NumberReading number = readNumber(value);
    if (number.numeric && (number.value == 0.0 || number.value == 1.0))
        return value;
    return QStringLiteral("0");
}

QString spinStep(const QString& text, bool up)
{
    const NumberReading number = readNumber(text);
    // Beyond 1024 the step has nothing to add; clamping first keeps huge texts from overflowing.
    const double integral = qFloor(qBound(-1.0e15, number.numeric ? number.value : 0.0, 1.0e15));
    qint64 value = static_cast<qint64>(qAbs(integral));
    if (up && value < 1024)
        ++value;
    else if (!up && value > 0)
        --value;
    return QString::number(value);
}

FrameFields operationRequest(quint8 controller, ProgType type, Operation operation, int number, int bit,
                             int value)
{
    const quint8 command = commandFor(type, operation);
    switch (type) {
    case CvBit:
        return Request::cvBit(controller, command, static_cast<quint16>(number), bit, value);
    case Register:
        return Request::registerValue(controller, command, static_cast<quint8>(number),
                                      static_cast<quint8>(value));
    case CvByte:
        break;
    }
    return Request::cvByte(controller, command, static_cast<quint16>(number), static_cast<quint8>(value));
}

QString writeQuestion(ProgType type, const QString& number, const QString& bit, const QString& value)
{
    switch (type) {
    case CvBit:
        return QStringLiteral("Möchten Sie die CV ") + number + QStringLiteral(" Bitposition ") + bit +
               QStringLiteral(" auf den Wert ") + value + QStringLiteral(" setzen ?");
    case Register:
        return QStringLiteral("Möchten Sie das Register ") + number + QStringLiteral(" auf den Wert ") +
               value + QStringLiteral(" setzen ?");
    case CvByte:
        break;
    }
    return QStringLiteral("Möchten Sie die CV ") + number + QStringLiteral(" auf den Wert ") + value +
           QStringLiteral(" setzen ?");
}

bool buttonAnswerFailed(const FrameFields& answer)
{
    return answer.data1 == Answer::ProgrammingFailed && answer.data2 == Answer::ProgrammingFailed &&
           answer.data3 == Answer::ProgrammingFailed;
}

bool readAnswerMatches(const FrameFields& answer)
{
    return answer.data1 != Answer::ProgrammingFailed || answer.data3 != Answer::ProgrammingFailed;
}

QString readResultText(ProgType type, const QString& number, int result)
{
    const QString subject = QStringLiteral("Wert für ") +
                            (type == CvByte ? QStringLiteral("CV") : QStringLiteral("Register")) +
                            QLatin1Char(' ') + number;
    if (result < 0)
        return subject + QStringLiteral(" konnte nicht ermittelt werden");
    return subject + QStringLiteral(" ist ") + QString::number(result);
}

double cvReadPercent(int step)
{
    return 100.0 / 8.0 * (step + 1);
}

double searchPercent(int value, int first, int last)
{
    return 100.0 / (last - first + 1) * (value - first + 1);
}

QString elapsedMsText(qint64 ms)
{
    return QString::number(ms) + QStringLiteral(" ms");
}

QString readElapsedText(qint64 ms, const QLocale& locale)
{
    if (ms <= 9999)
        return elapsedMsText(ms);
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(ms / 1000.0, 'f', 2) + QStringLiteral("sek.");
}

AddressSteps locoAddressSteps(quint8 controller, int locoNumber)
{
    AddressSteps steps;
    steps.isLong = locoNumber > HighestShortAddress;
    const QString number = QString::number(locoNumber);
    if (steps.isLong) {
        const auto high = static_cast<quint8>(locoNumber / 256 + LongAddressOffset);
        const auto low = static_cast<quint8>(locoNumber % 256);
        steps.statusText = QStringLiteral("Hohe Lok-Nummer ") + number + QStringLiteral(" setzen ...");
        steps.frames = {Request::cvBit(controller, Command::WriteCvBit, 29, 5, 1),
                        Request::cvByte(controller, Command::WriteCvByte, 17, high),
                        Request::cvByte(controller, Command::WriteCvByte, 18, low)};
    } else {
        steps.statusText = QStringLiteral("Niedrige Lok-Nummer ") + number + QStringLiteral(" setzen ...");
        steps.frames = {
            Request::cvBit(controller, Command::WriteCvBit, 29, 5, 0),
            Request::cvByte(controller, Command::WriteCvByte, 1, static_cast<quint8>(locoNumber))};
    }
    return steps;
}

QString locoNumberQuestion(int locoNumber)
{
    return QStringLiteral("Möchten Sie die Lok auf die Nummer ") + QString::number(locoNumber) +
           QStringLiteral(" einstellen ?");
}

int locoNumberFromField(const QString& text)
{
    return static_cast<int>(qAbs(readNumber(text).value));
}

std::optional<quint8> cv29BitSpec(int selector)
{
    switch (selector) {
    case Cv29ShortSelector:
        return bitSpec(5, 0);
    case Cv29LongSelector:
        return bitSpec(5, 1);
    case Cv29Steps14Selector:
        return bitSpec(1, 0);
    case Cv29Steps28Selector:
        return bitSpec(1, 1);
    default:
        return std::nullopt;
    }
}

QString speedStepSuffix(bool steps14, bool steps28)
{
    if (steps14 && !steps28)
        return QStringLiteral("  (14 FS)");
    if (steps28 && !steps14)
        return QStringLiteral("  (28/126 FS)");
    return QString();
}

quint8 recognisedSpeedStepCode(bool steps14)
{
    return steps14 ? SpeedSteps::Steps14 : SpeedSteps::Steps28;
}

namespace {
Recognition recognition(int locoNumber, const QString& shownAs, const QString& suffix)
{
    const QString start = QStringLiteral("Erkannte Lok-Nummer ") + shownAs;
    if (locoNumber < 1 || locoNumber > HighestLocoNumber)
        return {std::nullopt, start + QStringLiteral(" außerhalb des Controller-Bereichs 1 bis ") +
                                  QString::number(HighestLocoNumber)};
    return {locoNumber, start + suffix};
}
} // namespace

Recognition shortAddressRecognition(int cv1, const QString& suffix)
{
    return recognition(cv1, QString::number(cv1), suffix);
}

Recognition longAddressRecognition(int cv17, int cv18, const QString& suffix)
{
    if (cv17 < LongAddressOffset) // the formula would give a negative number
        return recognition(0, QStringLiteral("(CV 17 = %1)").arg(cv17), suffix);
    const int number = (cv17 - LongAddressOffset) * 256 + cv18;
    return recognition(number, QString::number(number), suffix);
}

} // namespace Programming
