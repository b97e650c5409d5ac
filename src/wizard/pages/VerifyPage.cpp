#include "wizard/pages/VerifyPage.h"

#include "controls/CompassCtrl.h"
#include "controls/RateMeterCtrl.h"
#include "controls/StatusPanel.h"
#include "device/AhrsLink.h"
#include "device/FixedPoint.h"
#include "wizard/Geometry.h"
#include "wizard/PageIndex.h"
#include "wizard/PageWidgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

CVerifyPage::CVerifyPage(QWidget* parent) : CWizardPage(Kind::Interior, QString(), parent) {
    setObjectName(QStringLiteral("verifyPage"));
    BuildControls();
}

void CVerifyPage::BuildControls() {
    const int margin = DialogUnitsToPixels(this, 7, 0).width();
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(margin * 2, margin, margin * 2, margin);
    page->setSpacing(margin);

    QLabel* title = MakeLabel(QStringLiteral("Verify RQ270 calibration."),
                              QStringLiteral("verifyTitle"), QSizePolicy::Maximum);
    title->setFont(BoldFontOfHeight(this, 18));
    page->addWidget(title);

    auto* columns = new QHBoxLayout;
    columns->setSpacing(margin * 4);
    page->addLayout(columns, 1);

    statusPanel = new CStatusPanel(
        {CStatusPanel::kMeasuringMask, /*showMount=*/false, /*showAttitude=*/true});
    statusPanel->setObjectName(QStringLiteral("statusPanel"));
    auto* left = new QVBoxLayout;
    left->addStretch(1);
    left->addWidget(statusPanel);
    columns->addLayout(left, 1);

    compass = new CCompassCtrl;
    compass->setObjectName(QStringLiteral("compass"));
    compass->setAccessibleName(QStringLiteral("RQ270 heading compass"));
    columns->addWidget(compass, 1);

    auto* right = new QVBoxLayout;
    QLabel* headingLabel = MakeLabel(QStringLiteral("RQ270 Heading"),
                                     QStringLiteral("rq270HeadingLabel"), QSizePolicy::Maximum);
    headingField = new QLineEdit;
    headingField->setObjectName(QStringLiteral("rq270HeadingField"));
    headingField->setReadOnly(true);
    headingField->setFocusPolicy(Qt::NoFocus);
    headingField->setMaximumWidth(DialogUnitsToPixels(this, 60, 0).width());
    headingField->setAccessibleName(headingLabel->text());
    headingLabel->setBuddy(headingField);
    QLabel* rateLabel = MakeLabel(QStringLiteral("Rate Meter"), QStringLiteral("rateMeterLabel"),
                                  QSizePolicy::Maximum);
    rateMeter = new CRateMeterCtrl(kRateFullScale, kRateGreenFraction);
    rateMeter->setObjectName(QStringLiteral("rateMeter"));
    rateMeter->setAccessibleName(rateLabel->text());
    rateLabel->setBuddy(rateMeter);
    right->addStretch(1);
    right->addWidget(headingLabel);
    right->addWidget(headingField);
    right->addSpacing(margin * 2);
    right->addWidget(rateLabel);
    right->addWidget(rateMeter);
    right->addStretch(1);
    columns->addLayout(right, 1);
}

void CVerifyPage::OnInit() {
    Link().SelectOutputPage('C');
}

CVerifyPage::Step CVerifyPage::OnSetActive() {
    Subscribe();
    Link().SelectOutputPage('C');
    // Back stays open for a visit from the finish page; "Verify Only" leaves Finish alone.
    SetWizardButtons(PreviousPage() == kConnectionPage
                         ? IWizardFrame::kFinish
                         : IWizardFrame::kBack | IWizardFrame::kFinish);
    compass->ShowNeedle(true);
    compass->setEnabled(true);
    compass->SetHeading(0.0);
    statusPanel->Refresh(Link().State());
    StartPageTimer();
    co_return;
}

CVerifyPage::Step CVerifyPage::OnKillActive() {
    StopPageTimer();
    Unsubscribe();
    Link().SelectOutputPage('E');
    co_return;
}

CVerifyPage::Step CVerifyPage::OnMessage(int message) {
    if (message == kDeviceUpdateMessage) {
        co_await ReportLostCommunication();
    }
}

CVerifyPage::Step CVerifyPage::OnTick() {
    Link().CheckOutputPage();
    ShowLive();
    co_return;
}

void CVerifyPage::ShowLive() {
    const CAhrsState& state = Link().State();
    compass->SetHeading(state.GetAvgHeading());
    rateMeter->SetValue(state.GetAvgHeadingRate());
    headingField->setText(QString::fromStdString(FixedPoint(state.GetAvgHeading(), 2)));
    const CStatusPanel::Status status = statusPanel->Refresh(state);
    compass->ShowNeedle(status.magValid);
}
