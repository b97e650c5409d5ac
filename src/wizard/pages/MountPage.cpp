#include "wizard/pages/MountPage.h"

#include "device/AhrsLink.h"
#include "procedure/MountChange.h"
#include "records/InstallationSession.h"
#include "wizard/ErrorBox.h"
#include "wizard/Geometry.h"
#include "wizard/MountArtwork.h"
#include "wizard/MountPositionList.h"
#include "wizard/PageIndex.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

namespace {

constexpr int kNoMount = CInstallationSession::kNoMount;
constexpr int kFirstMount = 8;
constexpr int kLastMount = 11;

} // namespace

CMountPage::CMountPage(QWidget* parent)
    : CWizardPage(Kind::Interior, QString(), parent),
      switchOffBox(this, QStringLiteral("Turn OFF power to HX410...")),
      switchOnBox(this, QStringLiteral("Turn ON  power to HX410 to Continue...")) {
    switchOffBox.LeavePageUsable();
    switchOnBox.LeavePageUsable();
    setObjectName(QStringLiteral("mountPage"));
    switchOffBox.SetFont(BoldFontOfHeight(this, 14));
    switchOnBox.SetFont(BoldFontOfHeight(this, 14));
    BuildControls();
}

CMountPage::~CMountPage() {
    if (shown) {
        Link().ResetMagPower();
    }
}

void CMountPage::BuildControls() {
    const int margin = DialogUnitsToPixels(this, 7, 0).width();
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(margin * 2, margin, margin * 2, margin);
    page->setSpacing(margin);

    auto* heading = new QLineEdit(QStringLiteral("Select the HX410 mount direction:"));
    heading->setObjectName(QStringLiteral("mountHeading"));
    heading->setAccessibleName(heading->text());
    heading->setReadOnly(true);
    heading->setFrame(false);
    heading->setFocusPolicy(Qt::NoFocus);
    heading->setFont(BoldFontOfHeight(this, 18));
    heading->setStyleSheet(QStringLiteral("background: transparent;"));
    page->addWidget(heading);

    mountList = new QListWidget;
    mountList->setObjectName(QStringLiteral("mountList"));
    mountList->setAccessibleName(QStringLiteral("HX410 mount direction"));
    mountList->setViewMode(QListView::IconMode);
    mountList->setSelectionMode(QAbstractItemView::SingleSelection);
    mountList->setMovement(QListView::Static);
    mountList->setResizeMode(QListView::Adjust);
    mountList->setWrapping(true);
    mountList->setSpacing(margin / 2);
    mountList->setIconSize(QSize(MountArtwork::kPictureSide, MountArtwork::kPictureSide));
    // The chosen picture stays marked while the focus is on "Change Mount".
    QPalette palette = mountList->palette();
    palette.setBrush(QPalette::Inactive, QPalette::Highlight,
                     palette.brush(QPalette::Active, QPalette::Highlight));
    palette.setBrush(QPalette::Inactive, QPalette::HighlightedText,
                     palette.brush(QPalette::Active, QPalette::HighlightedText));
    mountList->setPalette(palette);
    page->addWidget(mountList, 1);

    changeMount = new QPushButton(QStringLiteral("Change Mount"));
    changeMount->setObjectName(QStringLiteral("changeMountButton"));
    changeMount->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(changeMount);
    buttons->addStretch(1);
    page->addLayout(buttons);

    connect(mountList, &QListWidget::itemSelectionChanged, this, &CMountPage::OnMountSelected);
    connect(changeMount, &QPushButton::clicked, this, &CMountPage::OnChangeMount);
}

void CMountPage::OnInit() {
    shown = true;
    SetWizardButtons(0);
    changeMount->hide();
    const QSignalBlocker quiet(mountList);
    for (const MountPosition& position : MountPositions().Positions()) {
        auto* item =
            new QListWidgetItem(QIcon(QPixmap::fromImage(position.picture)), position.label);
        item->setData(Qt::UserRole, position.id);
        mountList->addItem(item);
    }
}

CMountPage::Step CMountPage::OnSetActive() {
    powerCycle.End();
    changeRequested = false;
    Subscribe();
    currentMount = Link().State().GetMountPosition();
    MarkCurrentMount();
    SetWizardButtons(0);
    for (int row = 0; row < mountList->count(); ++row) {
        QListWidgetItem* item = mountList->item(row);
        if (item->data(Qt::UserRole).toInt() == currentMount) {
            mountList->setCurrentItem(item);
            mountList->scrollToItem(item);
            mountList->setFocus();
            OnMountSelected(); // also when the item was selected already
            co_return;
        }
    }
    mountList->clearSelection();
    OnMountSelected();
}

// The unit's own position says so under its label, so that it can be found again once
// another one is chosen.
void CMountPage::MarkCurrentMount() {
    const QSignalBlocker quiet(mountList);
    for (int row = 0; row < mountList->count(); ++row) {
        QListWidgetItem* item = mountList->item(row);
        const int id = item->data(Qt::UserRole).toInt();
        const MountPosition* position = MountPositions().Find(id);
        const QString label = position != nullptr ? position->label : item->text();
        item->setText(id == currentMount ? label + QStringLiteral("\n(current)") : label);
    }
}

CMountPage::Step CMountPage::OnKillActive() {
    CancelCycle();
    Unsubscribe();
    // A position only clicked is not a request; a requested one the connection page
    // completes once the unit answers there.
    if (!changeRequested) {
        Session().SetSelectedMount(kNoMount);
    }
    co_return;
}

CMountPage::Answer CMountPage::OnWizardNext() {
    SetWizardButtons(0);
    co_return kProceed;
}

int CMountPage::SelectedId() const {
    const QList<QListWidgetItem*> selected = mountList->selectedItems();
    return selected.isEmpty() ? kNoMount : selected.first()->data(Qt::UserRole).toInt();
}

void CMountPage::OnMountSelected() {
    SetWizardButtons(0);
    const int id = SelectedId();
    CInstallationSession& session = Session();
    if (id == currentMount || id == kNoMount) {
        // Back to the unit's own mount (or nothing chosen): any change in hand is dropped.
        CancelCycle();
        changeRequested = false;
        session.SetSelectedMount(kNoMount);
        changeMount->hide();
        if (id != kNoMount) {
            SetWizardButtons(IWizardFrame::kNext);
        }
        return;
    }
    // Another position: during a power cycle it becomes the one sent; otherwise it waits
    // for "Change Mount".
    session.SetSelectedMount(id);
    changeMount->setVisible(powerCycle.Current() == CPowerCycle::Stage::None);
}

void CMountPage::OnChangeMount() {
    if (SelectedId() == kNoMount || SelectedId() == currentMount) {
        return;
    }
    changeRequested = true;
    powerCycle.Request();
    changeMount->hide();
    switchOffBox.Show();
}

void CMountPage::CancelCycle() {
    powerCycle.End();
    StopPageTimer();
    switchOffBox.Hide();
    switchOnBox.Hide();
}

CMountPage::Step CMountPage::OnMessage(int message) {
    if (message == kDeviceUpdateMessage) {
        co_await OnLinkChanged();
    } else if (message == kPageMessage) {
        co_await OnProceed();
    }
}

CMountPage::Step CMountPage::OnLinkChanged() {
    switch (powerCycle.LinkChanged(Link().IsLinkAlive())) {
    case CPowerCycle::Next::AskSwitchOn:
        switchOffBox.Hide();
        switchOnBox.Show();
        StartPageTimer();
        co_return;
    case CPowerCycle::Next::Proceed:
        StartProceeding();
        co_return;
    case CPowerCycle::Next::ReportLoss:
        co_await ReportLostLink();
        co_return;
    case CPowerCycle::Next::GiveUp:
    case CPowerCycle::Next::Nothing:
        co_return;
    }
}

CMountPage::Step CMountPage::ReportLostLink() {
    if (!changeRequested) {
        Session().SetSelectedMount(kNoMount);
    }
    co_await ShowErrorBox(
        QStringLiteral("Lost communication with the HX410.  Returning to Comm port "
                       "selection page."),
        QStringLiteral("Error communicating with HX410."));
    Link().SelectOutputPage('F');
    GoToPage(kConnectionPage);
}

CMountPage::Step CMountPage::OnTick() {
    switch (powerCycle.Tick(Link().IsLinkAlive())) {
    case CPowerCycle::Next::Proceed:
        StartProceeding();
        co_return;
    case CPowerCycle::Next::GiveUp:
        // The change stays requested: the connection page completes it once the unit answers.
        CancelCycle();
        GoToPage(kConnectionPage);
        co_return;
    case CPowerCycle::Next::AskSwitchOn:
    case CPowerCycle::Next::ReportLoss:
    case CPowerCycle::Next::Nothing:
        co_return;
    }
}

// The position is sent from a step of its own, once the notification has been handled.
void CMountPage::StartProceeding() {
    StopPageTimer();
    PostMessage(kPageMessage);
}

// Waits, within a bound, for the unit and then its magnetometer to answer. False (after
// telling the installer) when they did not.
QCoro::Task<bool> CMountPage::UnitReady() {
    const StepOutcome ready = co_await AwaitUnitAfterPowerOn(StepContext(), kLinkPollBoundMs);
    if (ready == StepOutcome::Done) {
        co_return true;
    }
    switchOnBox.Hide();
    co_await ShowErrorBox(
        QStringLiteral("The HX410 or its RQ270 did not answer within %1 seconds of "
                       "power-on, so the new mount position was not sent yet.\nIt is "
                       "sent from the Comm port selection page once they answer.")
            .arg(kLinkPollBoundMs / 1000),
        QStringLiteral("Error communicating with HX410."));
    co_return false;
}

CMountPage::Step CMountPage::OnProceed() {
    const int mount = Session().SelectedMount();
    if (powerCycle.Current() != CPowerCycle::Stage::Proceeding || !changeRequested ||
        !IsActivePage()) {
        co_return;
    }
    // The position being sent cannot be changed under it.
    mountList->setEnabled(false);
    const auto enableAgain = qScopeGuard([this] { mountList->setEnabled(true); });
    powerCycle.End();
    if (mount < kFirstMount || mount > kLastMount) {
        CancelCycle();
        co_return;
    }
    const bool ready = co_await UnitReady();
    if (!ready) {
        GoToPage(kConnectionPage);
        co_return;
    }
    const StepOutcome sent = co_await SendMount(StepContext(), Session(), mount, kSettleMs);
    if (sent != StepOutcome::Done) {
        co_return;
    }
    changeRequested = false;
    switchOnBox.Hide();
    GoToPage(kCoarsePage);
}
