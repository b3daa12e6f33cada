// SPDX-License-Identifier: GPL-3.0-or-later
#include "AccessoryPanel.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
const char* const kOnColours[] = {"rgb(0, 192, 0)", "rgb(0, 150, 0)"};
const char* const kOffColours[] = {"rgb(255, 0, 0)", "rgb(200, 0, 0)"};

void styleButton(QPushButton* button, const char* const (&colours)[2], int verticalPadding)
{
    button->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; color: white; font-weight: bold; "
                       "border: 2px solid #404040; border-radius: 3px; padding: %3px 5px; "
                       "min-width: 34px; } QPushButton:pressed { background-color: %2; } "
                       "QPushButton:focus { border-color: #ffd700; }")
            .arg(QLatin1String(colours[0]), QLatin1String(colours[1]))
            .arg(verticalPadding - 1)); // the border's second pixel keeps the button's size
}

QPushButton* portButton(const QString& text, const QString& name, const char* const (&colours)[2],
                        QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    styleButton(button, colours, 2);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}
} // namespace

AccessoryPanel::AccessoryPanel(int index, QWidget* parent)
    : QGroupBox(QStringLiteral("Zubehör-Steuerung"), parent)
{
    setObjectName(QStringLiteral("fraAccessory_%1").arg(index));
    auto* layout = new QGridLayout(this);
    layout->setVerticalSpacing(3);

    layout->addWidget(new QLabel(QStringLiteral("Decoder-ID"), this), 0, 0);
    m_decoder = new QLineEdit(QString::number(index + 1), this);
    m_decoder->setObjectName(QStringLiteral("krAccessory_%1").arg(index));
    m_decoder->setProperty("Tag", QString::fromLatin1(DecoderRule));
    m_decoder->setMaxLength(5);
    m_decoder->setToolTip(QStringLiteral("Nummer des Zubehör-Decoders (1 bis 511)"));
    layout->addWidget(m_decoder, 0, 1, 1, 2);

    for (int port = 0; port < PortCount; ++port) {
        layout->addWidget(new QLabel(QStringLiteral("Port %1").arg(port + 1), this), port + 1, 0);
        m_on[port] = portButton(QStringLiteral("ON"), QStringLiteral("btnPort%1On_%2").arg(port).arg(index),
                                kOnColours, this);
        m_off[port] = portButton(QStringLiteral("OFF"),
                                 QStringLiteral("btnPort%1Off_%2").arg(port).arg(index), kOffColours, this);
        layout->addWidget(m_on[port], port + 1, 1);
        layout->addWidget(m_off[port], port + 1, 2);
        connect(m_on[port], &QPushButton::clicked, this, [this, port] { emit switchRequested(port, true); });
        connect(m_off[port], &QPushButton::clicked, this,
                [this, port] { emit switchRequested(port, false); });
    }
}

void AccessoryPanel::makeCompact()
{
    auto* grid = static_cast<QGridLayout*>(layout());
    const QMargins margins = grid->contentsMargins();
    grid->setContentsMargins(margins.left(), 2, margins.right(), 4);
    grid->setVerticalSpacing(1);
    for (int port = 0; port < PortCount; ++port) {
        styleButton(m_on[port], kOnColours, 1);
        styleButton(m_off[port], kOffColours, 1);
    }
}
