#include "wizard/WizardPage.h"

#include "device/AhrsLink.h"
#include "procedure/PatientWaits.h"
#include "procedure/StepWaits.h"
#include "wizard/ErrorBox.h"
#include "wizard/PageIndex.h"
#include "wizard/StepRunner.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QScopedValueRollback>
#include <QTimerEvent>

#include <algorithm>
#include <chrono>
#include <limits>

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

CWizardPage::Step CWizardPage::Activate() {
    if (!initialised) {
        initialised = true;
        OnInit();
    }
    active = true;
    co_await OnSetActive();
}

CWizardPage::Step CWizardPage::Deactivate() {
    active = false;
    co_await OnKillActive();
    // A page that is not shown neither ticks nor hears of the link, even if its
    // kill-active forgot to stop them.
    StopPageTimer();
    Unsubscribe();
}

CWizardPage::Step CWizardPage::OnSetActive() {
    co_return;
}

CWizardPage::Step CWizardPage::OnKillActive() {
    co_return;
}

CWizardPage::Answer CWizardPage::OnWizardNext() {
    co_return kProceed;
}

CWizardPage::Answer CWizardPage::OnWizardBack() {
    co_return kProceed;
}

CWizardPage::Answer CWizardPage::OnWizardFinish() {
    co_return kProceed;
}

CWizardPage::Answer CWizardPage::OnQueryCancel() {
    co_return kProceed;
}

CWizardPage::Step CWizardPage::OnTick() {
    co_return;
}

void CWizardPage::PostMessage(int message) {
    QCoreApplication::postEvent(this, new QEvent(static_cast<QEvent::Type>(message)));
}

CWizardPage::Step CWizardPage::OnMessage(int) {
    co_return;
}

bool CWizardPage::event(QEvent* event) {
    const int type = event->type();
    if (type != kDeviceUpdateMessage && type != kPageMessage) {
        return QWidget::event(event);
    }
    if (frame == nullptr) {
        return true;
    }
    Steps().Deliver([page = QPointer<CWizardPage>(this), type] {
        // Only the subscribed (active) page hears of the link, and a page's own message
        // reaches it only while it is active, even when either was queued before the page
        // was left.
        if (page && (type == kDeviceUpdateMessage ? page->subscribed : page->active)) {
            page->frame->RunStep([page, type] { return page->OnMessage(type); });
        }
    });
    return true;
}

void CWizardPage::timerEvent(QTimerEvent* event) {
    if (event->timerId() != pageTimer.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    if (frame == nullptr) {
        return;
    }
    if (Steps().IsRunning()) {
        OnDisplayTick(); // the tick itself waits until the step has ended
    }
    if (!tickHeld) {
        tickHeld = true;
        Steps().Deliver([page = QPointer<CWizardPage>(this)] {
            if (page) {
                page->DeliverTick();
            }
        });
    }
}

void CWizardPage::DeliverTick() {
    tickHeld = false;
    if (pageTimer.isActive()) { // a tick held over a step is dropped once the timer stopped
        frame->RunStep([this] { return OnTick(); });
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

int CWizardPage::PreviousPage() const {
    return frame != nullptr ? frame->PreviousPage() : -1;
}

void CWizardPage::EndWizard(int exitCode) {
    if (frame != nullptr && active) {
        frame->EndWizard(exitCode);
    }
}

void CWizardPage::RunAction(std::function<Step()> action) {
    if (frame != nullptr && active) {
        frame->RunStep(std::move(action));
    }
}

QCoro::Task<bool> CWizardPage::WaitUntil(std::function<bool()> done, double programMs) {
    const StepOutcome outcome = co_await WaitPatiently(StepContext(), std::move(done), programMs);
    co_return outcome == StepOutcome::Done;
}

QCoro::Task<void> CWizardPage::Pause(double programMs) {
    return Rest(Steps().Token(), TimeBase(), programMs);
}

bool CWizardPage::IsStepRunning() const {
    return frame != nullptr && Steps().IsRunning();
}

bool CWizardPage::StepCancelled() const {
    return frame == nullptr || Steps().Token().IsCancelled();
}

CStepContext& CWizardPage::StepContext() const {
    return Steps().Context();
}

CStepToken CWizardPage::StepToken() const {
    return Steps().Token();
}

CStepRunner& CWizardPage::Steps() const {
    Q_ASSERT(frame != nullptr);
    return frame->Steps();
}

QCoro::Task<QMessageBox::StandardButton>
CWizardPage::ShowMessageBox(QMessageBox::Icon icon, const QString& text, const QString& caption,
                            QMessageBox::StandardButtons buttons) {
    return ::ShowMessageBox(Steps().Token(), icon, text, caption, buttons);
}

QCoro::Task<bool> CWizardPage::ShowErrorBox(const QString& text, const QString& caption) {
    return ::ShowErrorBox(Steps().Token(), text, caption);
}

CWizardPage::Step CWizardPage::ShowWriteFailureBox(const QString& what, const std::string& path,
                                                   int error, const QString& consequence,
                                                   const QString& caption) {
    return ::ShowWriteFailureBox(Steps().Token(), what, path, error, consequence, caption);
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

QCoro::Task<bool> CWizardPage::ReportLostCommunication() {
    if (reportingLoss || !active) {
        // The box of an earlier loss is open and goes to the connection page, or the page
        // was left already.
        co_return true;
    }
    if (frame == nullptr || Link().IsLinkAlive()) {
        co_return false; // the notification announced a link that came up
    }
    const QScopedValueRollback reporting(reportingLoss, true);
    if (!StepCancelled()) {
        frame->LossReported(); // this box is the one the installer sees
    }
    co_await ShowLostCommunicationBox(StepToken());
    GoToPage(kConnectionPage);
    co_return true;
}
