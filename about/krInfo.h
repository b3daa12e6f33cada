// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLabel;
class QTimer;

// The about box: product name, version, build, copyright and legal notice under the logo.
// It closes on any click, on Enter or Space, and when its timer elapses (the start-up splash).
// Create one for each showing; it keeps no state between showings.
class krInfo : public QDialog
{
    Q_OBJECT

public:
    explicit krInfo(QWidget* parent = nullptr);

    // Milliseconds after which the box closes itself once shown; 0 (the default) keeps it open
    // until the user closes it. The start-up splash uses 2000.
    void setSplashInterval(int ms);
    int splashInterval() const;

    // Shows a box modally and returns when it has closed.
    static void showModal(QWidget* parent, int splashIntervalMs = 0);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void fitLogoToWidth();

    QLabel* m_piclogo = nullptr;
    QTimer* m_timer = nullptr;
};
