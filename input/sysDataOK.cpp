// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysDataOK.h"

#include "krTaktoraTools.h"
#include "MessageBox.h"
#include "ValidationRule.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDateTime>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTextEdit>
#include <QWidget>

namespace {

// Depth first, each parent's children in the order they were given to it: a control is followed
// by the controls inside it before its next sibling.
void collectControls(QWidget* parent, QList<QWidget*>& controls)
{
    for (QObject* child : parent->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget || widget->isWindow())
            continue;
        controls.append(widget);
        collectControls(widget, controls);
    }
}

} // namespace

bool sysDataOK(QWidget* window)
{
    if (!window)
        return true;

    QList<QWidget*> controls;
    collectControls(window, controls);

    const QLocale locale;
    const QDateTime now = QDateTime::currentDateTime();
    for (QWidget* control : controls) {
        const QString tag = control->property("Tag").toString();
        if (tag.isEmpty())
            continue;
        const ValidationResult result =
            validateField(ValidationRule::parse(tag), sysControlText(control), locale, now);
        if (!result.ok) {
            MessageBox::warning(window, result.message, ProgramTitle());
            sysSetFocus(control);
            return false;
        }
    }
    return true;
}

void sysSetFocus(QWidget* control)
{
    if (!control || !control->isEnabled() || !control->isVisibleTo(control->window()))
        return;
    control->setFocus(Qt::OtherFocusReason);
}

QString sysControlText(const QWidget* control)
{
    if (!control)
        return QString();
    if (const auto* edit = qobject_cast<const QLineEdit*>(control))
        return edit->text();
    if (const auto* combo = qobject_cast<const QComboBox*>(control))
        return combo->currentText();
    if (const auto* spin = qobject_cast<const QSpinBox*>(control))
        return spin->cleanText();
    if (const auto* spin = qobject_cast<const QDoubleSpinBox*>(control))
        return spin->cleanText();
    if (const auto* spin = qobject_cast<const QAbstractSpinBox*>(control))
        return spin->text();
    if (const auto* edit = qobject_cast<const QPlainTextEdit*>(control))
        return edit->toPlainText();
    if (const auto* edit = qobject_cast<const QTextEdit*>(control))
        return edit->toPlainText();
    return control->property("text").toString();
}
