// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgrammingTab.h"

#include "CommandSet.h"
#include "FieldNumber.h"
#include "krTaktoraTools.h"
#include "LineClient.h"
#include "MessageBox.h"
#include "NumberReader.h"
#include "ProgrammingWidgets.h"
#include "sysDataOK.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>

using namespace Programming;

namespace {

// The frame's place is given from the top of the tab control; the page of a QTabWidget starts
// below the tab strip, which takes this much of it.
constexpr int kTabStripTwips = 360;

QString indexed(const char* name, int index)
{
    return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(index);
}

} // namespace

ProgrammingTab::ProgrammingTab(LineClient& line, QWidget* parent)
    : QWidget(parent), m_line(line), m_track(line), m_events(line.link().clock())
{
    setObjectName(QStringLiteral("ProgrammingTab"));
    buildControls();
    // The bar and the window catch up at screen rate; the window's events are also where a
    // click on "Abbruch" arrives.
    m_track.onProgress = [this](double percent) { setProgress(percent); };
    m_track.afterExchange = [this] { m_events.take(); };
}

void ProgrammingTab::placeTwips(QWidget* control, int left, int top, int width, int height)
{
    control->setGeometry(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                         TwipsToPixels(height));
}

void ProgrammingTab::buildControls()
{
    m_fraProgramming = new QGroupBox(this);
    m_fraProgramming->setObjectName(QStringLiteral("fraProgramming"));
    placeTwips(m_fraProgramming, 120, 480 - kTabStripTwips, 6015, 4455);
    QWidget* frame = m_fraProgramming;

    // Status row: three lamps, then the status line.
    for (int i = 0; i < 3; ++i) {
        m_led[i] = new CircleShape(frame);
        m_led[i]->setObjectName(indexed("led", i));
        placeTwips(m_led[i], 120 + 360 * i, 240, 195, 255);
    }
    m_lblStatus = new QLabel(QStringLiteral("Zur Programmierung das Programmiergleis verwenden"), frame);
    m_lblStatus->setObjectName(QStringLiteral("lblStatus"));
    m_lblStatus->setWordWrap(true);
    m_lblStatus->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    placeTwips(m_lblStatus, 1200, 150, 4695, 450);

    m_line1 = new QFrame(frame);
    m_line1->setObjectName(QStringLiteral("Line1"));
    m_line1->setFrameShape(QFrame::HLine);
    m_line1->setFrameShadow(QFrame::Sunken);
    placeTwips(m_line1, 120, 720, 5775, 30);

    // Programming type, the three fields with their spin buttons, the three operations.
    const QString typeCaptions[3] = {QStringLiteral("CV voller Wert"), QStringLiteral("CV Bitwert"),
                                     QStringLiteral("Register")};
    const QString operationCaptions[3] = {QStringLiteral("Wert prüfen"), QStringLiteral("Wert setzen"),
                                          QStringLiteral("Wert suchen")};
    const QString fieldTexts[3] = {QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("0")};
    const int typingLimits[3] = {4, 1, 3};
    const int rowTop[3] = {930, 1320, 1710};
    for (int i = 0; i < 3; ++i) {
        m_optProgType[i] = new QRadioButton(typeCaptions[i], frame);
        m_optProgType[i]->setObjectName(indexed("optProgType", i));
        placeTwips(m_optProgType[i], 240, rowTop[i], 1680, 285);

        m_txtValue[i] = new FieldEdit(fieldTexts[i], typingLimits[i], frame);
        m_txtValue[i]->setObjectName(indexed("txtValue", i));
        m_txtValue[i]->setAlignment(Qt::AlignRight);
        placeTwips(m_txtValue[i], 2790, rowTop[i] - 15, 570, 315);

        m_spnValue[i] = new SpinButton(frame);
        m_spnValue[i]->setObjectName(indexed("spnValue", i));
        placeTwips(m_spnValue[i], 3360, rowTop[i] - 15, 240, 315);

        m_cmdOperation[i] = new QPushButton(operationCaptions[i], frame);
        m_cmdOperation[i]->setObjectName(indexed("cmdOperation", i));
        placeTwips(m_cmdOperation[i], 3690, rowTop[i] - 45, 2205, 345);
    }
    m_lblCV = new QLabel(QStringLiteral("CV"), frame);
    m_lblCV->setObjectName(QStringLiteral("lblCV"));
    placeTwips(m_lblCV, 1950, rowTop[0], 780, 285);
    m_lblBit = new QLabel(QStringLiteral("Bit"), frame);
    m_lblBit->setObjectName(QStringLiteral("lblBit"));
    placeTwips(m_lblBit, 1950, rowTop[1], 780, 285);
    m_lblValue = new QLabel(QStringLiteral("Wert"), frame);
    m_lblValue->setObjectName(QStringLiteral("lblValue"));
    placeTwips(m_lblValue, 1950, rowTop[2], 780, 285);

    // Progress of the long reads, the cancel button beside it, the elapsed time below.
    m_sspProgressPanel = new ProgressPanel(m_line.link().clock(), frame);
    m_sspProgressPanel->setObjectName(QStringLiteral("sspProgressPanel"));
    placeTwips(m_sspProgressPanel, 240, 2130, 3360, 315);
    m_cmdBreak = new QPushButton(QStringLiteral("Abbruch"), frame);
    m_cmdBreak->setObjectName(QStringLiteral("cmdBreak"));
    m_cmdBreak->setVisible(false);
    placeTwips(m_cmdBreak, 3690, 2115, 2205, 345);
    m_lblElapsedTime = new QLabel(QStringLiteral("0 ms"), frame);
    m_lblElapsedTime->setObjectName(QStringLiteral("lblElapsedTime"));
    m_lblElapsedTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    placeTwips(m_lblElapsedTime, 240, 2490, 3360, 255);

    m_line2 = new QFrame(frame);
    m_line2->setObjectName(QStringLiteral("Line2"));
    m_line2->setFrameShape(QFrame::HLine);
    m_line2->setFrameShadow(QFrame::Sunken);
    placeTwips(m_line2, 120, 2880, 5775, 30);

    // Loco number: setting and recognition.
    m_lblLocoNumber = new QLabel(QStringLiteral("Nummer"), frame);
    m_lblLocoNumber->setObjectName(QStringLiteral("lblLocoNumber"));
    placeTwips(m_lblLocoNumber, 240, 3090, 780, 285);
    m_txtLocoNumber = new FieldEdit(QStringLiteral("1"), 5, frame);
    m_txtLocoNumber->setObjectName(QStringLiteral("txtLocoNumber"));
    m_txtLocoNumber->setAlignment(Qt::AlignRight);
    m_txtLocoNumber->setProperty("Tag", QStringLiteral("Die Lok-Nummer,NUM,MIN=1,MAX=10239"));
    placeTwips(m_txtLocoNumber, 1080, 3075, 840, 315);
    m_cmdLocoNumberSet = new QPushButton(QStringLiteral("Lok-Nummer setzen"), frame);
    m_cmdLocoNumberSet->setObjectName(QStringLiteral("cmdLocoNumberSet"));
    placeTwips(m_cmdLocoNumberSet, 3690, 3060, 2205, 345);
    m_cmdLocoRecognition = new QPushButton(QStringLiteral("Lok-Nummer erkennen"), frame);
    m_cmdLocoRecognition->setObjectName(QStringLiteral("cmdLocoRecognition"));
    placeTwips(m_cmdLocoRecognition, 3690, 3480, 2205, 345);

    m_chkAutoConfig = new QCheckBox(QStringLiteral(" automatisch in Konfiguration übernnehmen"), frame);
    m_chkAutoConfig->setObjectName(QStringLiteral("chkAutoConfig"));
    placeTwips(m_chkAutoConfig, 240, 3930, 5655, 285);

    // Tab follows the reading order: the programming type, CV and value, then the operations,
    // then the loco number and its buttons.
    const QList<QWidget*> tabOrder = {
        m_optProgType[0], m_optProgType[1],   m_optProgType[2],     m_txtValue[0],     m_txtValue[1],
        m_txtValue[2],    m_cmdOperation[0],  m_cmdOperation[1],    m_cmdOperation[2], m_cmdBreak,
        m_txtLocoNumber,  m_cmdLocoNumberSet, m_cmdLocoRecognition, m_chkAutoConfig};
    for (int i = 1; i < tabOrder.size(); ++i)
        QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);

    connect(m_cmdBreak, &QPushButton::clicked, this, &ProgrammingTab::cmdBreak_Click);
    for (int i = 0; i < 3; ++i) {
        connect(m_spnValue[i], &SpinButton::upClicked, this, [this, i] { spnValue_Click(i, true); });
        connect(m_spnValue[i], &SpinButton::downClicked, this, [this, i] { spnValue_Click(i, false); });
        connect(m_cmdOperation[i], &QPushButton::clicked, this, [this, i] { cmdOperation_Click(i); });
    }
    connect(m_cmdLocoNumberSet, &QPushButton::clicked, this, &ProgrammingTab::cmdLocoNumberSet_Click);
    connect(m_cmdLocoRecognition, &QPushButton::clicked, this, &ProgrammingTab::cmdLocoRecognition_Click);
    connect(m_chkAutoConfig, &QCheckBox::clicked, this, [](bool ticked) {
        WriteSetting(Settings::AutoConfig, ticked ? QStringLiteral("1") : QStringLiteral("0"));
    });
    for (int i = 0; i < 3; ++i)
        connect(m_optProgType[i], &QRadioButton::clicked, this, [this, i] { selectProgType(i); });

    ShowStatusLamp(0xFF);
}

void ProgrammingTab::ProgButtonsEnabled(bool controlsEnabled)
{
    for (int i = 0; i < 3; ++i) {
        m_optProgType[i]->setEnabled(controlsEnabled);
        m_txtValue[i]->setEnabled(controlsEnabled);
        m_spnValue[i]->setEnabled(controlsEnabled);
        m_cmdOperation[i]->setEnabled(controlsEnabled);
    }
    m_txtLocoNumber->setEnabled(controlsEnabled);
    m_cmdLocoNumberSet->setEnabled(controlsEnabled);
    m_cmdLocoRecognition->setEnabled(controlsEnabled);
    m_chkAutoConfig->setEnabled(controlsEnabled);
    emit progButtonsEnabledChanged(controlsEnabled);
    if (controlsEnabled && m_optProgType[CvBit]->isChecked())
        m_cmdOperation[Read]->setEnabled(false);
}

void ProgrammingTab::ShowStatusLamp(quint8 state)
{
    const QColor lit[3] = {Blue, Red, Green};
    for (int i = 0; i < 3; ++i)
        m_led[i]->setFillColor(state == i ? lit[i] : LampOff);
}

void ProgrammingTab::selectProgType(int index)
{
    if (index < 0 || index > 2)
        return;
    m_progType = static_cast<ProgType>(index);
    m_optProgType[index]->setChecked(true);
    const ProgTypeSetup setup = progTypeSetup(m_progType);
    m_lblCV->setText(setup.numberCaption);
    m_lblBit->setVisible(setup.bitFieldShown);
    m_txtValue[1]->setVisible(setup.bitFieldShown);
    m_spnValue[1]->setVisible(setup.bitFieldShown);
    for (int i = 0; i < 3; ++i)
        m_txtValue[i]->setProperty("Tag", setup.tags[i]);
    m_cmdOperation[Read]->setEnabled(setup.searchEnabled);
    m_txtValue[2]->setText(valueAfterTypeChange(m_progType, m_txtValue[2]->text()));
}

void ProgrammingTab::loadAutoConfigSetting()
{
    m_chkAutoConfig->setChecked(ReadSetting(Settings::AutoConfig) == QStringLiteral("1"));
}

bool ProgrammingTab::isBreakVisible() const
{
    // Shown or hidden by the tab itself, whether or not the window is on the screen yet.
    return !m_cmdBreak->isHidden();
}

void ProgrammingTab::spnValue_Click(int index, bool up)
{
    m_txtValue[index]->setText(spinStep(m_txtValue[index]->text(), up));
}

void ProgrammingTab::setStatus(const QString& text, const QColor& colour)
{
    ShowStatusText(m_lblStatus, text, colour);
}

// At most at screen rate; the last value is always shown.
void ProgrammingTab::setProgress(double percent)
{
    m_sspProgressPanel->setPercent(percent);
}

// A field's number as the validation read it; the bit field, without a rule outside bit mode,
// counts as 0.
int ProgrammingTab::checkedField(int index) const
{
    return static_cast<int>(fieldNumber(m_txtValue[index]).value_or(0));
}

bool ProgrammingTab::SwitchProgrammingMode(bool on)
{
    return m_track.switchProgrammingMode(on);
}

void ProgrammingTab::cmdOperation_Click(int index)
{
    if (index < 0 || index > 2)
        return;
    // A single bit cannot be read; the button is disabled in bit mode.
    if (index == Read && m_progType == CvBit)
        return;
    if (!LineChecked(m_line, this) || !sysDataOK(window()))
        return;
    const QScopedValueRollback<bool> busy(m_busy, true);
    SwitchProgrammingMode(true);
    if (index == Read)
        readValue();
    else
        verifyOrWrite(static_cast<Operation>(index));
    SwitchProgrammingMode(false);
}

void ProgrammingTab::verifyOrWrite(Operation operation)
{
    const bool write = operation == Write;
    setStatus(write ? QStringLiteral("Schreiben ...") : QStringLiteral("Prüfen ..."), Blue);
    // The request is built now and kept until it is sent: an operation started during the wait
    // below uses the window's frame too.
    const FrameFields request = operationRequest(controllerByte(), m_progType, operation, checkedField(0),
                                                 checkedField(1), checkedField(2));
    if (write) {
        const QString question =
            writeQuestion(m_progType, m_txtValue[0]->text(), m_txtValue[1]->text(), m_txtValue[2]->text());
        if (MessageBox::question(this, question) != QMessageBox::Yes)
            return;
    }
    ShowStatusLamp(LampBusy);
    WaitSeconds(m_settleSeconds);
    QElapsedTimer elapsed;
    elapsed.start();
    if (!m_track.program(request, 2, true)) {
        ShowStatusLamp(LampFailure);
        setStatus(write ? QStringLiteral("Der Wert konnte nicht gesetzt werden")
                        : QStringLiteral("Der Inhalt entspricht nicht dem gesuchten Wert"),
                  Red);
    } else {
        ShowStatusLamp(LampSuccess);
        setStatus(write ? QStringLiteral("Der Wert wurde erfolgreich gesetzt")
                        : QStringLiteral("Der Inhalt entspricht dem gesuchten Wert"),
                  Green);
    }
    m_lblElapsedTime->setText(elapsedMsText(elapsed.elapsed()));
}

void ProgrammingTab::readValue()
{
    ProgButtonsEnabled(false);
    setStatus(QStringLiteral("Wert suchen ...."), Blue);
    ShowStatusLamp(LampBusy);
    WaitSeconds(m_settleSeconds);
    QElapsedTimer elapsed;
    elapsed.start();
    const int number = checkedField(0);
    const int result = m_progType == CvByte ? ReadCvValue(static_cast<quint16>(number))
                                            : SearchRegisterValue(static_cast<quint16>(number), 0, 255);
    if (result != Cancelled) {
        const QString report = readResultText(m_progType, m_txtValue[0]->text(), result);
        if (result == NotFound) {
            ShowStatusLamp(LampFailure);
            setStatus(report, Red);
        } else {
            ShowStatusLamp(LampSuccess);
            setStatus(report, Green);
            m_txtValue[2]->setText(QString::number(result));
        }
    }
    m_lblElapsedTime->setText(readElapsedText(elapsed.elapsed(), QLocale()));
    ProgButtonsEnabled(true);
}

int ProgrammingTab::ReadCvValue(quint16 cv)
{
    m_cmdBreak->show();
    const int result = m_track.readCv(cv);
    m_cmdBreak->hide();
    if (result == Cancelled)
        finishCancelled();
    return result;
}

int ProgrammingTab::SearchRegisterValue(quint16 reg, quint8 first, quint8 last)
{
    m_cmdBreak->show();
    const int result = m_track.searchRegister(reg, first, last);
    m_cmdBreak->hide();
    if (result == Cancelled)
        finishCancelled();
    return result;
}

void ProgrammingTab::finishCancelled()
{
    m_track.clearCancel();
    ShowStatusLamp(LampFailure);
    setStatus(QStringLiteral("Vorgang abgebrochen"), Red);
    setProgress(0.0);
}

bool ProgrammingTab::TestCv29Bit(int selector)
{
    FrameFields request = m_track.frame();
    request.controller = controllerByte();
    request.command = Command::VerifyCvBit;
    request.data1 = 29;
    request.data2 = 0;
    // An unknown selector leaves data3 as the last exchange left it.
    if (const std::optional<quint8> spec = cv29BitSpec(selector))
        request.data3 = *spec;
    const bool answered = m_track.exchange(request);
    QApplication::processEvents();
    return answered && readAnswerMatches(m_track.frame());
}

void ProgrammingTab::cmdLocoNumberSet_Click()
{
    if (!LineChecked(m_line, this) || !sysDataOK(window()))
        return;
    const int number = locoNumberFromField(m_txtLocoNumber->text());
    if (MessageBox::question(this, locoNumberQuestion(number)) != QMessageBox::Yes)
        return;
    const QScopedValueRollback<bool> busy(m_busy, true);
    ShowStatusLamp(LampBusy);
    const AddressSteps steps = locoAddressSteps(controllerByte(), number);
    setStatus(m_lblStatus->text(), Blue);
    SwitchProgrammingMode(true);
    setStatus(steps.statusText, Blue);
    WaitSeconds(m_settleSeconds);
    QElapsedTimer elapsed;
    elapsed.start();
    bool anyFailed = false;
    // A failed step does not stop the others: each CV is worth trying on its own.
    for (const FrameFields& step : steps.frames)
        if (!m_track.program(step))
            anyFailed = true;
    if (anyFailed) {
        ShowStatusLamp(LampFailure);
        setStatus(QStringLiteral("Lok-Nummer konnte nicht gesetzt werden"), Red);
    } else {
        ShowStatusLamp(LampSuccess);
        setStatus(QStringLiteral("Lok-Nummer ") + QString::number(number) +
                      QStringLiteral(" wurde erfolgreich gesetzt"),
                  Green);
    }
    m_lblElapsedTime->setText(elapsedMsText(elapsed.elapsed()));
    SwitchProgrammingMode(false);
}

void ProgrammingTab::cmdLocoRecognition_Click()
{
    if (!LineChecked(m_line, this))
        return;
    const QScopedValueRollback<bool> busy(m_busy, true);
    // One read of several CVs: only stops go out between its exchanges.
    const LineClient::Batch batch(m_line);
    ProgButtonsEnabled(false);
    ShowStatusLamp(LampBusy);
    setStatus(QStringLiteral("Lok-Nummern-Erkennung ..."), Blue);
    QElapsedTimer elapsed;
    elapsed.start();
    SwitchProgrammingMode(true);

    const bool isLong = TestCv29Bit(Cv29LongSelector);
    const bool isShort = TestCv29Bit(Cv29ShortSelector);
    const bool steps14 = TestCv29Bit(Cv29Steps14Selector);
    const bool steps28 = TestCv29Bit(Cv29Steps28Selector);
    const QString suffix = speedStepSuffix(steps14, steps28);

    std::optional<Recognition> recognised;
    if (isShort) {
        setStatus(QStringLiteral("Niedrige Lok-Nummern erkannt ..."), Blue);
        const int value = ReadCvValue(1);
        if (value >= 0)
            recognised = shortAddressRecognition(value, suffix);
    } else if (isLong) {
        setStatus(QStringLiteral("Hohe Lok-Nummern erkannt ..."), Blue);
        const int high = ReadCvValue(17);
        const int low = high >= 0 ? ReadCvValue(18) : NotFound;
        if (high >= 0 && low >= 0)
            recognised = longAddressRecognition(high, low, suffix);
    }

    if (!isShort && !isLong) {
        ShowStatusLamp(LampFailure);
        setStatus(QStringLiteral("Lok-Nummer konnte nicht erkannt werden"), Red);
    } else if (!recognised) {
        ShowStatusLamp(LampFailure);
        setStatus(QStringLiteral("Lok-Nummer nicht gefunden"), Red);
    } else if (!recognised->locoNumber) {
        ShowStatusLamp(LampFailure);
        setStatus(recognised->text, Red);
    } else {
        ShowStatusLamp(LampSuccess);
        setStatus(recognised->text, Green);
        QApplication::processEvents();
        if (m_chkAutoConfig->isChecked())
            emit storeLocoEntryRequested(static_cast<quint16>(*recognised->locoNumber),
                                         recognisedSpeedStepCode(steps14));
    }

    SwitchProgrammingMode(false);
    m_lblElapsedTime->setText(elapsedMsText(elapsed.elapsed()));
    ProgButtonsEnabled(true);
}
