#pragma once

#include "device/TimeBase.h"
#include "device/UiThread.h"
#include "wizard/WizardServices.h"

#include <QCoroTask>

#include <functional>

class CStepRunner;

// What a page asks of the wizard frame that holds it.
class IWizardFrame {
public:
    // Wizard buttons: a bit set of these; 0 disables Back, Next and Finish. Finish
    // takes the place of Next while it is requested.
    static constexpr int kBack = 1;
    static constexpr int kNext = 2;
    static constexpr int kFinish = 4;

    virtual ~IWizardFrame() = default;

    virtual void SetWizardButtons(int flags) = 0;
    // Deactivates the current page and activates the page at `index` (a PageIndex),
    // whatever its position, the current page included; while a step runs, once it has
    // ended (the last request wins). False for an index out of range or once the wizard
    // has ended.
    virtual bool GoToPage(int index) = 0;
    // Ends the wizard with `exitCode` as its result, after the current page's kill-active;
    // while a step runs, once it has ended.
    virtual void EndWizard(int exitCode) = 0;
    // Runs `step` as the wizard's running step, then carries out the page change or end it
    // asked for. False, starting nothing, while another step runs.
    virtual bool RunStep(std::function<QCoro::Task<void>()> step) = 0;
    virtual CStepRunner& Steps() = 0;
    // A page tells the installer of a lost link itself: the frame does not again.
    virtual void LossReported() = 0;
    virtual int CurrentPage() const = 0;
    // The page shown before the current one, or -1.
    virtual int PreviousPage() const = 0;

    // The user-interface thread and the time base of every wait and page timer.
    virtual IUiThread& UiThread() = 0;
    virtual const CTimeBase& TimeBase() const = 0;
    // The link, the settings, the mount positions and the installation session.
    virtual const WizardServices& Services() const = 0;
};
