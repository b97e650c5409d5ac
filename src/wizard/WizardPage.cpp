#include "wizard/WizardPage.h"

#include "device/AhrsLink.h"
#include "wizard/ErrorBox.h"
#include "wizard/PageIndex.h"
#include "wizard/QtUiThread.h"
#include "wizard/WaitDoor.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QScopedValueRollback>
#include <QTimerEvent>

#include <algorithm>
#include <chrono>
#include <limits>

namespace {

const char kLostCommunicationText[] =
    "Lost communication with the HX410.  Returning to Comm port selection page.";
const char kLostCommunicationCaption[] = "Error communicating with HX410.";

} // namespace

CWizardPage::CWizardPage(Kind kind, const QString& title, QWidget* parent)
    : QWidget(parent), kind(kind), title(title) {
    if (kind == Kind::Exterior) {
        // The exterior page of a classic wizard is white beside its watermark.
        setAutoFillBackground(true);
        setBackgroundRole(QPalette::Base);
    }
}

CWizardPage::~CWizardPage() {
    // The link must never post to a page that is gone; the frame may be gone already.
    UnsubscribeAll();
}

void CWizardPage::Activate() {
    if (!initialised) {
        initialised = true;
        OnInit();
    }
    active = true;
    OnSetActive();
}

void CWizardPage::Deactivate() {
    active = false;
    OnKillActive();
    // A page that is not shown neither ticks nor hears of the link, even if its
    // kill-active forgot to stop them.
    StopPageTimer();
    Unsubscribe();
}

void CWizardPage::PostMessage(int message) {
    QCoreApplication::postEvent(this, new QEvent(static_cast<QEvent::Type>(message)));
}

void CWizardPage::OnMessage(int) {}

bool CWizardPage::event(QEvent* event) {
    const int type = event->type();
    if (type != kDeviceUpdateMessage && type != kPageMessage) {
        return QWidget::event(event);
    }
    CWaitDoor::Deliver([page = QPointer<CWizardPage>(this), type] {
        // Only the subscribed (active) page hears of the link, and a page's own message
        // reaches it only while it is active, even when either was queued before the page
        // was left.
        if (page && (type == kDeviceUpdateMessage ? page->subscribed : page->active)) {
            page->OnMessage(type);
        }
    });
    return true;
}

void CWizardPage::timerEvent(QTimerEvent* event) {
    if (event->timerId() != pageTimer.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    if (CWaitDoor::IsWaiting()) {
        OnDisplayTick(); // the tick itself waits until the wait has ended
    }
    if (!tickHeld) {
        tickHeld = true;
        CWaitDoor::Deliver([page = QPointer<CWizardPage>(this)] {
            if (page) {
                page->DeliverTick();
            }
        });
    }
}

void CWizardPage::DeliverTick() {
    tickHeld = false;
    if (pageTimer.isActive()) { // a tick held over a wait is dropped once the timer stopped
        OnTick();
    }
}

void CWizardPage::SetWizardButtons(int flags) {
    if (frame != nullptr) {
        frame->SetWizardButtons(flags);
    }
}

// A page that was left (a lost link, a page change inside one of its waits) no longer
// moves the wizard: what its handler does after the wait never changes the page shown now.
bool CWizardPage::GoToPage(int index) {
    return frame != nullptr && active && frame->GoToPage(index);
}

void CWizardPage::EndWizard(int exitCode) {
    if (frame != nullptr && active) {
        frame->EndWizard(exitCode);
    }
}

bool CWizardPage::WaitUntil(const std::function<bool()>& done, double programMs) {
    return UiThread().WaitUntil(done, programMs, TimeBase());
}

void CWizardPage::Pause(double programMs) {
    WaitUntil({}, programMs);
}

IUiThread& CWizardPage::UiThread() const {
    if (frame != nullptr) {
        return frame->UiThread();
    }
    static CQtUiThread ownThread; // a page outside a wizard (tests)
    return ownThread;
}

const CTimeBase& CWizardPage::TimeBase() const {
    static const CTimeBase realTime;
    return frame != nullptr ? frame->TimeBase() : realTime;
}

CAhrsLink& CWizardPage::Link() const {
    return Services().link;
}

CSettingsStore& CWizardPage::Settings() const {
    return Services().settings;
}

const CMountPositionList& CWizardPage::MountPositions() const {
    return Services().mountPositions;
}

CInstallationSession& CWizardPage::Session() const {
    return Services().session;
}

const WizardServices& CWizardPage::Services() const {
    Q_ASSERT(frame != nullptr);
    return frame->Services();
}

void CWizardPage::Subscribe() {
    if (!subscribed && frame != nullptr && active) {
        Link().Subscribe(this, kDeviceUpdateMessage);
        subscribed = true;
    }
}

void CWizardPage::Unsubscribe() {
    if (subscribed) {
        Link().Unsubscribe(this, kDeviceUpdateMessage);
        subscribed = false;
    }
}

void CWizardPage::StartPageTimer() {
    if (!active) {
        return; // left meanwhile: a tick would act behind the page shown now
    }
    const auto real = std::chrono::ceil<std::chrono::milliseconds>(TimeBase().ToReal(kPageTickMs));
    pageTimer.start(static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(
                        real.count(), 1, std::numeric_limits<int>::max())),
                    this);
}

void CWizardPage::StopPageTimer() {
    pageTimer.stop();
}

bool CWizardPage::ReportLostCommunication() {
    if (reportingLoss || !active) {
        // The box of an earlier loss is open and goes to the connection page, or the page
        // was left already.
        return true;
    }
    if (frame == nullptr || Link().IsLinkAlive()) {
        return false; // the notification announced a link that came up
    }
    const QScopedValueRollback reporting(reportingLoss, true);
    ShowErrorBox(QString::fromUtf8(kLostCommunicationText),
                 QString::fromUtf8(kLostCommunicationCaption));
    GoToPage(kConnectionPage);
    return true;
}
