// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ProgrammingTrack.h"

class QWidget;

// What the programming tab needs of the window that hosts it: the track's channel and more.
class ProgrammingChannel : public TrackChannel
{
public:
    virtual void storeLocoEntry(quint16 locoNumber, quint8 speedStepCode) = 0; // StoreLocoEntry
    virtual void setConfigurationTabEnabled(bool enabled) = 0;                 // tab 0
    virtual QWidget* validationWindow() = 0;                                   // the window sysDataOK checks
};
