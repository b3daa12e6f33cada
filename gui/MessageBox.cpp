// SPDX-License-Identifier: GPL-3.0-or-later
#include "MessageBox.h"

#include "TaktoraVersion.h"

#include <QQueue>

namespace {
bool g_testMode = false;
QQueue<QMessageBox::StandardButton> g_answers;
QList<MessageBox::Shown> g_shown;

QMessageBox::StandardButton firstButton(QMessageBox::StandardButtons buttons)
{
    for (int bit = 0; bit < 32; ++bit) {
        const auto b = static_cast<QMessageBox::StandardButton>(1u << bit);
        if (buttons.testFlag(b) && b >= QMessageBox::FirstButton && b <= QMessageBox::LastButton)
            return b;
    }
    return QMessageBox::NoButton;
}
} // namespace

QMessageBox::StandardButton MessageBox::show(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                             const QString& text, QMessageBox::StandardButtons buttons,
                                             QMessageBox::StandardButton defaultButton)
{
    const QString shownTitle =
        title.trimmed().isEmpty() ? QString::fromUtf8(TaktoraVersion::ProgramTitle) : title;

    if (g_testMode) {
        g_shown.append(Shown{icon, shownTitle, text, buttons, defaultButton});
        if (!g_answers.isEmpty())
            return g_answers.dequeue();
        return defaultButton != QMessageBox::NoButton ? defaultButton : firstButton(buttons);
    }

    QMessageBox box(icon, shownTitle, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    box.setWindowModality(Qt::ApplicationModal);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void MessageBox::warning(QWidget* parent, const QString& text, const QString& title)
{
    show(parent, QMessageBox::Warning, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

QMessageBox::StandardButton MessageBox::question(QWidget* parent, const QString& text, const QString& title)
{
    return show(parent, QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No,
                QMessageBox::No);
}

void MessageBox::setTestMode(bool on)
{
    g_testMode = on;
    g_answers.clear();
    g_shown.clear();
}

bool MessageBox::testMode()
{
    return g_testMode;
}

void MessageBox::setNextAnswer(QMessageBox::StandardButton answer)
{
    g_answers.enqueue(answer);
}

QList<MessageBox::Shown> MessageBox::takeShown()
{
    QList<Shown> result;
    result.swap(g_shown);
    return result;
}

QList<MessageBox::Shown> MessageBox::shown()
{
    return g_shown;
}
