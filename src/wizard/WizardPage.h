#pragma once

#include "device/MessageTarget.h"
#include "wizard/WizardFrame.h"

class CAhrsLink;
class CInstallationSession;
class CMountPositionList;
class CSettingsStore;

#include <QBasicTimer>
#include <QString>
#include <QWidget>

#include <functional>

// The base of every wizard page: the frame's notifications as virtual handlers, the
// requests to the frame, the subscription to the link's notifications, the page tick and
// the page's own messages.
//
// Handlers of wizard-next, wizard-back, wizard-finish and query-cancel return kProceed (0)
// to let the wizard take its default move (neighbouring index, close), or kStay (-1, any
// non-zero value) to stay; a handler that calls GoToPage has chosen the page itself, and
// the default move is not taken.
//
// Page ticks and messages never run inside a blocking wait (CWaitDoor): they run after it,
// in order. Several ticks missed during a wait come as one, as window timers do.
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

    // Called by the frame.
    void AttachFrame(IWizardFrame* frame) { this->frame = frame; }
    void Activate();   // OnInit the first time, then OnSetActive
    void Deactivate(); // OnKillActive, then the page timer and the subscription end

    // Frame notifications.
    virtual void OnInit() {}      // once, before the first OnSetActive
    virtual void OnSetActive() {} // each time the page becomes active
    virtual void OnKillActive() {}
    virtual int OnWizardNext() { return kProceed; }
    virtual int OnWizardBack() { return kProceed; }
    virtual int OnWizardFinish() { return kProceed; }
    virtual int OnQueryCancel() { return kProceed; }

    // Posts (never sends) `message` (kDeviceUpdateMessage or kPageMessage) to this page;
    // any thread. It reaches OnMessage on the user-interface thread.
    void PostMessage(int message) override;

protected:
    // A posted message. kDeviceUpdateMessage arrives only while the page is subscribed.
    virtual void OnMessage(int message);
    // Page timer 1, every kPageTickMs while it runs.
    virtual void OnTick() {}
    // The display part of a tick, also while a wait holds the tick back: the live values
    // keep moving. It only shows; it never starts anything or enables a control.
    virtual void OnDisplayTick() {}

    // Requests to the frame (nothing happens while the page is not in a frame).
    void SetWizardButtons(int flags);
    bool GoToPage(int index);
    void EndWizard(int exitCode);

    // Blocking waits through the wizard's UI thread and time base (see IUiThread).
    bool WaitUntil(const std::function<bool()>& done, double programMs);
    void Pause(double programMs);
    // The wizard's UI thread and time base (outside a wizard: the Qt main thread in real time).
    IUiThread& UiThread() const;
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

    // The wizard's one recovery path when the unit stops talking: when the link is not
    // alive, tells the installer and goes to the connection page. True when it did, or when
    // the box of an earlier loss is still open (one box, however often the link drops).
    bool ReportLostCommunication();

    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void DeliverTick();
    const WizardServices& Services() const;

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
