// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysInput.h"

#include "krTaktoraTools.h"
#include "sysDataOK.h"

#include <QEvent>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// QLineEdit's own limit, used when the caller sets none.
constexpr int kUnlimitedLength = 32767;

} // namespace

sysInput::sysInput(QWidget* parent)
    : QDialog(parent), m_labelInfo(new QLabel(QStringLiteral("Benutzerinformation"), this)),
      m_textInput(new QLineEdit(this)), m_btnOK(new QPushButton(QStringLiteral("OK"), this)),
      m_btnCancel(new QPushButton(QStringLiteral("Abbruch"), this))
{
    setObjectName(QStringLiteral("sysInput"));
    m_labelInfo->setObjectName(QStringLiteral("Label_Info"));
    m_textInput->setObjectName(QStringLiteral("Text_UInput"));
    m_btnOK->setObjectName(QStringLiteral("btnOK"));
    m_btnCancel->setObjectName(QStringLiteral("btnCancel"));

    setModal(true);

    m_labelInfo->setWordWrap(true);
    m_labelInfo->setBuddy(m_textInput);
    m_labelInfo->setMinimumWidth(TwipsToPixels(4500));
    m_btnOK->setDefault(true);
    m_btnOK->setAutoDefault(true);
    m_btnCancel->setAutoDefault(false);
    m_textInput->installEventFilter(this);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_btnOK);
    buttons->addWidget(m_btnCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_labelInfo);
    layout->addWidget(m_textInput);
    layout->addSpacing(TwipsToPixels(120));
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_btnOK, &QPushButton::clicked, this, &sysInput::confirm);
    connect(m_btnCancel, &QPushButton::clicked, this, &sysInput::reject);
}

void sysInput::setup(const QString& title, const QString& prompt, const QString& defaultText,
                     const QString& spec, int maxLength)
{
    setWindowTitle(title.isEmpty() ? ProgramTitle() : title);
    m_labelInfo->setText(prompt);
    m_textInput->setMaxLength(maxLength > 0 ? maxLength : kUnlimitedLength);
    m_textInput->setText(defaultText);
    m_textInput->setProperty("Tag", spec);
    m_textInput->setFocus(Qt::OtherFocusReason);
    adjustSize();
    CenterWindow(this);
}

QString sysInput::enteredText() const
{
    return result() == QDialog::Accepted ? m_textInput->text() : QString();
}

void sysInput::reject()
{
    m_textInput->clear();
    QDialog::reject();
}

bool sysInput::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_textInput && event->type() == QEvent::FocusIn) {
        m_textInput->selectAll();
        // A click that brings the focus also places the cursor after this event; select again
        // once the click has been handled.
        if (static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason)
            QMetaObject::invokeMethod(m_textInput, &QLineEdit::selectAll, Qt::QueuedConnection);
    }
    return QDialog::eventFilter(watched, event);
}

void sysInput::confirm()
{
    // On failure sysDataOK has told the user and put the focus back into the field.
    if (sysDataOK(this))
        accept();
}

QString ShowInputDialog(const QString& title, const QString& prompt, const QString& defaultText,
                        const QString& spec, int maxLength, QWidget* parent)
{
    sysInput dialog(parent);
    dialog.setup(title, prompt, defaultText, spec, maxLength);
    dialog.exec();
    return dialog.enteredText();
}
