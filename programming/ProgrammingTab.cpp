#include "ProgrammingTab.h"

#include "krTaktoraTools.h"
#include "ProgrammingWidgets.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

using namespace Programming;

namespace {

const QString kSection = QStringLiteral("Taktora");
const QString kAutoConfigKey = QStringLiteral("AutoConfig");

// The frame's place is given from the top of the tab control; the page of a QTabWidget starts
// below the tab strip, which takes this much of it.
constexpr int kTabStripTwips = 360;

// The bar counts in hundredths of a percent, so 12.5 % is shown as it is.
constexpr int kBarScale = 100;

QString indexed(const char* name, int index)
{
    return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(index);
}

} // namespace

ProgrammingTab::ProgrammingTab(ProgrammingChannel& channel, QWidget* parent)
    : QWidget(parent), m_channel(channel)
{
    setObjectName(QStringLiteral("ProgrammingTab"));
    buildControls();
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
    const int rowTop[3] = {900, 1260, 1620};
    for (int i = 0; i < 3; ++i) {
        m_optProgType[i] = new QRadioButton(typeCaptions[i], frame);
        m_optProgType[i]->setObjectName(indexed("optProgType", i));
        placeTwips(m_optProgType[i], 240, rowTop[i], 1815, 285);

        m_txtValue[i] = new FieldEdit(fieldTexts[i], typingLimits[i], frame);
        m_txtValue[i]->setObjectName(indexed("txtValue", i));
        m_txtValue[i]->setAlignment(Qt::AlignRight);
        placeTwips(m_txtValue[i], 3000, rowTop[i] - 15, 660, 315);

        m_spnValue[i] = new SpinButton(frame);
        m_spnValue[i]->setObjectName(indexed("spnValue", i));
        placeTwips(m_spnValue[i], 3660, rowTop[i] - 15, 240, 315);

        m_cmdOperation[i] = new QPushButton(operationCaptions[i], frame);
        m_cmdOperation[i]->setObjectName(indexed("cmdOperation", i));
        placeTwips(m_cmdOperation[i], 4200, rowTop[i] - 45, 1695, 345);
    }
    m_lblCV = new QLabel(QStringLiteral("CV"), frame);
    m_lblCV->setObjectName(QStringLiteral("lblCV"));
    placeTwips(m_lblCV, 2160, rowTop[0], 840, 285);
    m_lblBit = new QLabel(QStringLiteral("Bit"), frame);
    m_lblBit->setObjectName(QStringLiteral("lblBit"));
    placeTwips(m_lblBit, 2160, rowTop[1], 840, 285);
    m_lblValue = new QLabel(QStringLiteral("Wert"), frame);
    m_lblValue->setObjectName(QStringLiteral("lblValue"));
    placeTwips(m_lblValue, 2160, rowTop[2], 840, 285);

    // Progress of the long reads, the cancel button beside it, the elapsed time below.
    m_sspProgressPanel = new QProgressBar(frame);
    m_sspProgressPanel->setObjectName(QStringLiteral("sspProgressPanel"));
    m_sspProgressPanel->setRange(0, 100 * kBarScale);
    m_sspProgressPanel->setValue(0);
    m_sspProgressPanel->setAlignment(Qt::AlignCenter);
    placeTwips(m_sspProgressPanel, 240, 2085, 3660, 315);
    m_cmdBreak = new QPushButton(QStringLiteral("Abbruch"), frame);
    m_cmdBreak->setObjectName(QStringLiteral("cmdBreak"));
    m_cmdBreak->setVisible(false);
    placeTwips(m_cmdBreak, 4200, 2070, 1695, 345);
    m_lblElapsedTime = new QLabel(QStringLiteral("0 ms"), frame);
    m_lblElapsedTime->setObjectName(QStringLiteral("lblElapsedTime"));
    m_lblElapsedTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    placeTwips(m_lblElapsedTime, 240, 2460, 3660, 255);

    m_line2 = new QFrame(frame);
    m_line2->setObjectName(QStringLiteral("Line2"));
    m_line2->setFrameShape(QFrame::HLine);
    m_line2->setFrameShadow(QFrame::Sunken);
    placeTwips(m_line2, 120, 2880, 5775, 30);

    // Loco number: setting and recognition.
    m_lblLocoNumber = new QLabel(QStringLiteral("Nummer"), frame);
    m_lblLocoNumber->setObjectName(QStringLiteral("lblLocoNumber"));
    placeTwips(m_lblLocoNumber, 240, 3120, 840, 285);
    m_txtLocoNumber = new FieldEdit(QStringLiteral("1"), 5, frame);
    m_txtLocoNumber->setObjectName(QStringLiteral("txtLocoNumber"));
    m_txtLocoNumber->setAlignment(Qt::AlignRight);
    m_txtLocoNumber->setProperty("Tag", QStringLiteral("Die Lok-Nummer,NUM,MIN=1,MAX=10239"));
    placeTwips(m_txtLocoNumber, 1080, 3105, 780, 315);
    m_cmdLocoNumberSet = new QPushButton(QStringLiteral("Lok-Nummer setzen"), frame);
    m_cmdLocoNumberSet->setObjectName(QStringLiteral("cmdLocoNumberSet"));
    placeTwips(m_cmdLocoNumberSet, 1980, 3090, 1875, 345);
    m_cmdLocoRecognition = new QPushButton(QStringLiteral("Lok-Nummer erkennen"), frame);
    m_cmdLocoRecognition->setObjectName(QStringLiteral("cmdLocoRecognition"));
    placeTwips(m_cmdLocoRecognition, 3960, 3090, 1935, 345);

    m_chkAutoConfig = new QCheckBox(QStringLiteral(" automatisch in Konfiguration übernnehmen"), frame);
    m_chkAutoConfig->setObjectName(QStringLiteral("chkAutoConfig"));
    placeTwips(m_chkAutoConfig, 240, 3600, 5655, 285);

    connect(m_cmdBreak, &QPushButton::clicked, this, [this] { m_cancelRequested = true; });
    connect(m_chkAutoConfig, &QCheckBox::clicked, this, [this](bool ticked) {
        WriteSetting(kAutoConfigKey, ticked ? QStringLiteral("1") : QStringLiteral("0"), kSection);
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
    m_channel.setConfigurationTabEnabled(controlsEnabled);
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
    m_chkAutoConfig->setChecked(ReadSetting(kAutoConfigKey, QStringLiteral("1"), kSection) ==
                                QStringLiteral("1"));
}

bool ProgrammingTab::isBreakVisible() const
{
    // Shown or hidden by the tab itself, whether or not the window is on the screen yet.
    return !m_cmdBreak->isHidden();
}
