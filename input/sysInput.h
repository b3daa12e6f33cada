// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The one-line input dialog: a prompt, a text field that carries a validation rule,
// "OK" and "Abbruch".

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

class sysInput : public QDialog
{
    Q_OBJECT

public:
    explicit sysInput(QWidget* parent = nullptr);

    QLabel* labelInfo() const { return m_labelInfo; }
    QLineEdit* textInput() const { return m_textInput; }
    QPushButton* okButton() const { return m_btnOK; }
    QPushButton* cancelButton() const { return m_btnCancel; }

    // Title (empty: the program title), prompt, starting text, validation rule and the
    // longest input allowed (0 or less: no limit of its own).
    void setup(const QString& title, const QString& prompt, const QString& defaultText, const QString& spec,
               int maxLength);

    // What the dialog gives back: the field's text after OK, empty after Abbruch or the close box.
    QString enteredText() const;

public slots:
    // Abbruch, Escape and the title bar's close box all come here.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void confirm();

    QLabel* m_labelInfo;
    QLineEdit* m_textInput;
    QPushButton* m_btnOK;
    QPushButton* m_btnCancel;
};

// Asks for one value; returns it, or an empty string when the user cancels.
QString ShowInputDialog(const QString& title, const QString& prompt, const QString& defaultText,
                        const QString& spec, int maxLength, QWidget* parent = nullptr);
