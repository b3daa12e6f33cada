#pragma once

#include "Frame.h"

#include <QtGlobal>

class QWidget;

// What the programming tab needs of the window that hosts it.
class ProgrammingChannel
{
public:
    virtual ~ProgrammingChannel() = default;

    virtual quint16 controllerId() const = 0; // ControllerID of the window
    virtual FrameFields& frame() = 0;         // the window's frame variables
    // ControllerTransaction on frame() with these attempts and showErrors, 2-second timeout.
    virtual bool transact(int attempts, bool showErrors) = 0;
    virtual void storeLocoEntry(quint16 locoNumber, quint8 speedStepCode) = 0; // StoreLocoEntry
    virtual void setConfigurationTabEnabled(bool enabled) = 0;                 // tab 0
    virtual QWidget* validationWindow() = 0;                                   // the window sysDataOK checks
};
