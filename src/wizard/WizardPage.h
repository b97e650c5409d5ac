#pragma once

#include "device/MessageTarget.h"
#include "procedure/StepToken.h"
#include "wizard/WizardFrame.h"

#include <QCoroTask>
#include <QMessageBox>

class CAhrsLink;
class CInstallationSession;
class CMountPositionList;
class CSettingsStore;
class CStepContext;
class CStepRunner;

#include <QBasicTimer>
#include <QString>
#include <QWidget>

#include <functional>
#include <string>

// The base of every wizard page: the frame's notifications as virtual handlers, the
// requests to the frame, the subscription to the link's notifications, the page tick and
// the page's own messages.
//
// Handlers of wizard-next, wizard-back, wizard-finish and query-cancel return kProceed (0)
// to let the wizard take its default move (neighbouring index, close), or kStay (-1, any
// non-zero value) to stay; a handler that calls GoToPage has chosen the page itself, and
// the default move is not taken.
//
// Every handler runs as a step of the wizard (see CStepRunner): a coroutine that awaits its
// waits and boxes, so nothing blocks. Ticks and messages that arrive while a step runs are
// held and run after it, in order; several ticks missed meanwhile come as one, as window
// timers do. A handler never changes the page itself: GoToPage and EndWizard ask the frame,
// which acts once the running step has ended.
class CWizardPage : public QWidget, public IMessageTarget {
    Q_OBJECT

public:
    enum class Kind {
        Interior, // under the wizard's header band
        Exterior, // no header band, the watermark at the left, the title as caption
    };

    static constexpr int kDeviceUpdateMessage = 2024; // the link came up or was lost
    static constexpr int kPageMessage = 2025;         // private to the page that posts it
    static constexpr double kPageTickMs = 1000;       // page timer 1, program milliseconds
    static constexpr int kProceed = 0;
    static constexpr int kStay = -1;

    explicit CWizardPage(Kind kind = Kind::Interior, const QString& title = QString(),
                         QWidget* parent = nullptr);
    ~CWizardPage() override; // unsubscribes

    Kind PageKind() const { return kind; }
    // Exterior pages: the wizard's caption while the page is active. Empty for interior pages.
    const QString& Title() const { return title; }
    bool IsActivePage() const { return active; }

    using Step = QCoro::Task<void>;
    using Answer = QCoro::Task<int>;

    // Called by the frame, within a step.
    void AttachFrame(IWizardFrame* frame) { this->frame = frame; }
    Step Activate();   // OnInit the first time, then OnSetActive
    Step Deactivate(); // OnKillActive, then the page timer and the subscription end

    // Whether a lost link ends whatever this page is doing: the frame then cancels the
    // running step and takes the recovery path (ReportLostCommunication).
    virtual bool LeavesOnLinkLoss() const { return false; }
    // The wizard's one recovery path when the unit stops talking: when the link is not
    // alive, tells the installer and goes to the connection page. True when it did, or when
    // the box of an earlier loss is still open (one box, however often the link drops).
    QCoro::Task<bool> ReportLostCommunication();
    bool IsReportingLoss() const { return reportingLoss; }
    // Whether the wizard runs a step now (false outside a wizard).
    bool IsStepRunning() const;

    // Frame notifications.
    virtual void OnInit() {}    // once, before the first OnSetActive
    virtual Step OnSetActive(); // each time the page becomes active
    virtual Step OnKillActive();
    virtual Answer OnWizardNext();
    virtual Answer OnWizardBack();
    virtual Answer OnWizardFinish();
    virtual Answer OnQueryCancel();

    // Posts (never sends) `message` (kDeviceUpdateMessage or kPageMessage) to this page;
    // any thread. It reaches OnMessage on the user-interface thread.
    void PostMessage(int message) override;

protected:
    // A posted message. kDeviceUpdateMessage arrives only while the page is subscribed.
    virtual Step OnMessage(int message);
    // Page timer 1, every kPageTickMs while it runs.
    virtual Step OnTick();
    // The display part of a tick, also while a step holds the tick back: the live values
    // keep moving. It only shows; it never starts anything or enables a control.
    virtual void OnDisplayTick() {}

    // Requests to the frame (nothing happens while the page is not in a frame). A page
    // that is not active no longer moves the wizard.
    void SetWizardButtons(int flags);
    bool GoToPage(int index);
    void EndWizard(int exitCode);
    // The page shown before this one (-1 when none).
    int PreviousPage() const;

    // Runs `action` as a step (a control's handler): nothing happens while a step runs, as
    // a press during a wait does nothing.
    void RunAction(std::function<Step()> action);

    // Awaited waits on the wizard's time base, within the running step. WaitUntil is true
    // when `done` holds, else its last value once `programMs` have passed. Both end at once
    // when the step is cancelled (the wizard is closing).
    QCoro::Task<bool> WaitUntil(std::function<bool()> done, double programMs);
    QCoro::Task<void> Pause(double programMs);
    bool StepCancelled() const;
    // The running step's context (for the procedures) and its token (for awaited dialogs).
    CStepContext& StepContext() const;
    CStepToken StepToken() const;

    // Message boxes, awaited: task-modal, shown without blocking (see ErrorBox.h). A
    // cancelled step shows none (the escape answer).
    QCoro::Task<QMessageBox::StandardButton> ShowMessageBox(QMessageBox::Icon icon,
                                                            const QString& text,
                                                            const QString& caption,
                                                            QMessageBox::StandardButtons buttons);
    QCoro::Task<bool> ShowErrorBox(const QString& text, const QString& caption);
    Step ShowWriteFailureBox(const QString& what, const std::string& path, int error,
                             const QString& consequence, const QString& caption);
    // The wizard's time base (outside a wizard: real time).
    const CTimeBase& TimeBase() const;
    // The frame's objects; a page uses them only while it is in a frame.
    CAhrsLink& Link() const;
    CSettingsStore& Settings() const;
    const CMountPositionList& MountPositions() const;
    CInstallationSession& Session() const;

    // The link's notifications, with kDeviceUpdateMessage.
    void Subscribe();
    void Unsubscribe();
    bool IsSubscribed() const { return subscribed; }

    void StartPageTimer();
    void StopPageTimer();
    bool IsPageTimerActive() const { return pageTimer.isActive(); }

    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void DeliverTick();
    const WizardServices& Services() const;
    CStepRunner& Steps() const;

    Kind kind;
    QString title;
    IWizardFrame* frame = nullptr;
    bool initialised = false;
    bool active = false;
    bool subscribed = false;
    bool tickHeld = false;
    bool reportingLoss = false;
    QBasicTimer pageTimer;
};
