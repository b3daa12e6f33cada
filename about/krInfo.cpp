// SPDX-License-Identifier: GPL-3.0-or-later
#include "krInfo.h"

#include "krTaktoraTools.h"
#include "TaktoraVersion.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {
// The logo bitmap's own size; the window opens exactly as wide as the logo.
constexpr int LogoWidth = 491;
constexpr int LogoHeight = 85;

// On a screen scaled beyond 100 %, the logo comes from its double-size drawing, brought down to
// the screen's scale where that is less.
QPixmap logoFor(qreal ratio)
{
    if (ratio <= 1.0)
        return QPixmap(QStringLiteral(":/about/logo.png"));
    QPixmap logo(QStringLiteral(":/about/logo@2x.png"));
    ratio = std::min(ratio, 2.0);
    if (ratio < 2.0)
        logo = logo.scaled(QSize(LogoWidth, LogoHeight) * ratio, Qt::IgnoreAspectRatio,
                           Qt::SmoothTransformation);
    logo.setDevicePixelRatio(ratio);
    return logo;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}
} // namespace

static void initAboutResources()
{
    // The resources live in a static library: pull them in explicitly.
    Q_INIT_RESOURCE(about);
}

krInfo::krInfo(QWidget* parent) : QDialog(parent)
{
    initAboutResources();
    setObjectName(QStringLiteral("krInfo"));
    setWindowTitle(QStringLiteral("Info"));
    setFont(QFont(QStringLiteral("Arial"), 9));

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &QDialog::accept);

    // The logo sits outside the layout: it always spans the whole window, edge to edge.
    m_piclogo = new QLabel(this);
    m_piclogo->setObjectName(QStringLiteral("piclogo"));
    m_piclogo->setPixmap(logoFor(devicePixelRatioF()));
    m_piclogo->setScaledContents(true);
    m_piclogo->setGeometry(0, 0, LogoWidth, LogoHeight);
    m_piclogo->setToolTip(QStringLiteral("Klicken Sie das Fenster an, um es wieder zu schliessen"));

    const QString productName = QString::fromUtf8(TaktoraVersion::ProductName);
    auto* lblProductName = makeLabel(this, "lblProductName", productName);
    QFont productFont = font();
    productFont.setPointSize(16);
    productFont.setBold(true);
    lblProductName->setFont(productFont);

    auto* lblVersion =
        makeLabel(this, "lblVersion",
                  QStringLiteral("Version ") + QString::number(TaktoraVersion::Major) + QLatin1Char('.') +
                      QString::number(TaktoraVersion::Minor) + QLatin1Char(' '));
    QFont versionFont = font();
    versionFont.setPointSize(10);
    versionFont.setBold(true);
    lblVersion->setFont(versionFont);

    auto* lblBuild = makeLabel(this, "lblBuild",
                               QStringLiteral("(build ") + QString::number(TaktoraVersion::Revision) +
                                   QStringLiteral(") "));
    lblBuild->setFont(versionFont);
    QPalette grey = lblBuild->palette();
    grey.setColor(QPalette::WindowText, QColor(128, 128, 128));
    lblBuild->setPalette(grey);

    auto* lblCopyright = makeLabel(this, "lblCopyright",
                                   QString::fromUtf8(TaktoraVersion::Copyright) + QStringLiteral(" by ") +
                                       QString::fromUtf8(TaktoraVersion::CompanyName));
    lblCopyright->setWordWrap(true);

    auto* lblLegalInfo = makeLabel(this, "lblLegalInfo", QString::fromUtf8(TaktoraVersion::LegalNotice));
    lblLegalInfo->setWordWrap(true);
    QFont legalFont = font();
    legalFont.setPointSize(8);
    lblLegalInfo->setFont(legalFont);
    lblLegalInfo->setPalette(grey);

    auto* versionRow = new QHBoxLayout;
    versionRow->setSpacing(4);
    versionRow->addWidget(lblVersion);
    versionRow->addWidget(lblBuild);
    versionRow->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, LogoHeight + 12, 18, 16);
    layout->setSpacing(4);
    layout->addWidget(lblProductName);
    layout->addLayout(versionRow);
    layout->addSpacing(10);
    layout->addWidget(lblCopyright);
    layout->addSpacing(2);
    layout->addWidget(lblLegalInfo);
    layout->addStretch();

    setMinimumWidth(LogoWidth / 2);
    const int height = heightForWidth(LogoWidth);
    resize(LogoWidth, height > 0 ? height : sizeHint().height());
    fitLogoToWidth();
    CenterWindow(this);
}

void krInfo::setSplashInterval(int ms)
{
    m_timer->setInterval(ms);
}

int krInfo::splashInterval() const
{
    return m_timer->interval();
}

void krInfo::showModal(QWidget* parent, int splashIntervalMs)
{
    krInfo box(parent);
    box.setSplashInterval(splashIntervalMs);
    if (splashIntervalMs > 0) {
        // At start-up it is a splash: no title bar, nothing to minimise or maximise.
        box.setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
        CenterWindow(&box);
    }
    box.exec();
}

void krInfo::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        accept();
        break;
    default:
        // Escape included: the box is closed by Enter, Space or a click only.
        event->accept();
        break;
    }
}

void krInfo::mousePressEvent(QMouseEvent* event)
{
    // Clicks on the logo and the texts arrive here too: the labels pass them on.
    event->accept();
    accept();
}

void krInfo::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    fitLogoToWidth();
}

void krInfo::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_timer->interval() > 0)
        m_timer->start();
}

void krInfo::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    if (windowType() != Qt::SplashScreen)
        return;
    // Without a window frame the box needs an edge of its own against what lies behind it.
    QPainter painter(this);
    painter.setPen(QColor(128, 128, 128));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void krInfo::fitLogoToWidth()
{
    if (m_piclogo->width() != width())
        m_piclogo->setGeometry(0, 0, width(), LogoHeight);
    m_piclogo->setVisible(true);
}
