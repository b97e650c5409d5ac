#include "wizard/pages/CoarseCalibrationPage.h"

#include "controls/ColouredField.h"
#include "controls/CompassCtrl.h"
#include "controls/RateMeterCtrl.h"
#include "controls/StatusPanel.h"
#include "device/AhrsLink.h"
#include "device/VersionCapabilities.h"
#include "records/InstallationSession.h"
#include "wizard/ErrorBox.h"
#include "wizard/Geometry.h"
#include "wizard/PageIndex.h"
#include "wizard/PageWidgets.h"

#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

const char* const kCountNames[] = {"X", "Y", "Z", "XL", "YL"};
constexpr double kRateFullScale = 6.0;
constexpr double kRateGreenFraction = 0.05;

const QString kTryAgainByCalibrate = QStringLiteral("Press a Calibrate button to try again.");

// The cardinal quadrant a heading lies in: North above 315 or up to 45, then East, South
// and West in 90-degree steps, each including its upper edge.
int QuadrantOf(double heading) {
    if (heading > 315.0 || heading <= 45.0) {
        return kHeadingNorth;
    }
    if (heading <= 135.0) {
        return kHeadingEast;
    }
    return heading <= 225.0 ? kHeadingSouth : kHeadingWest;
}

} // namespace

CCoarseCalibrationPage::CCoarseCalibrationPage(QWidget* parent)
    : CWizardPage(Kind::Interior, QString(), parent) {
    setObjectName(QStringLiteral("coarsePage"));
    for (int heading = 0; heading < 4; ++heading) {
        cardinals[heading].box =
            std::make_unique<CBusyBox>(this, QStringLiteral("Collecting %1 Data...")
                                                 .arg(QString::fromLatin1(kHeadingNames[heading])));
        cardinals[heading].box->LeavePageUsable(); // the ticks carry the collection
    }
    BuildControls();
    // A collection's box leaves the compass, the headings' results and the rate meter in view.
    for (Cardinal& cardinal : cardinals) {
        cardinal.box->KeepClearOf({compass, rateMeter, cardinals[kHeadingNorth].frame,
                                   cardinals[kHeadingSouth].frame, cardinals[kHeadingEast].frame,
                                   cardinals[kHeadingWest].frame});
    }
}

CCoarseCalibrationPage::~CCoarseCalibrationPage() = default;

void CCoarseCalibrationPage::BuildControls() {
    const int margin = DialogUnitsToPixels(this, 7, 0).width();
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(margin * 2, margin, margin * 2, margin);
    QLabel* title =
        MakeLabel(QStringLiteral("Step 2 - Coarse Calibration"), QStringLiteral("coarseTitle"));
    title->setFont(BoldFontOfHeight(this, 18));
    page->addWidget(title);

    auto* columns = new QHBoxLayout;
    columns->setSpacing(margin * 3);
    page->addLayout(columns, 1);

    QGridLayout* cross = MakeCompassCross(
        this, BuildCardinal(kHeadingNorth), BuildCardinal(kHeadingWest), BuildHeadingDisplay(),
        BuildCardinal(kHeadingEast), BuildCardinal(kHeadingSouth));

    auto* meterBlock = new QVBoxLayout;
    QLabel* meterCaption = MakeLabel(QStringLiteral("Rate Meter"), QStringLiteral("rateCaption"));
    rateMeter = new CRateMeterCtrl(kRateFullScale, kRateGreenFraction);
    rateMeter->setObjectName(QStringLiteral("rateMeter"));
    rateMeter->setAccessibleName(meterCaption->text());
    rateMeter->setFixedSize(DialogUnitsToPixels(this, 69, 10));
    meterCaption->setBuddy(rateMeter);
    meterBlock->addStretch(1);
    meterBlock->addWidget(meterCaption);
    meterBlock->addWidget(rateMeter);
    cross->addLayout(meterBlock, 2, 2, Qt::AlignLeft | Qt::AlignBottom);
    columns->addLayout(cross);

    auto* right = new QVBoxLayout;
    statusPanel = new CStatusPanel(CStatusPanel::Options{});
    statusPanel->setObjectName(QStringLiteral("statusPanel"));
    right->addWidget(statusPanel);
    right->addWidget(BuildCounts());
    right->addStretch(1);
    nextNote = MakeLabel(QStringLiteral("Next to Continue"), QStringLiteral("nextNote"));
    nextNote->setFont(BoldFontOfHeight(this, 18));
    nextNote->setAlignment(Qt::AlignCenter);
    right->addWidget(nextNote);
    columns->addLayout(right, 1);
}

QWidget* CCoarseCalibrationPage::BuildCardinal(int heading) {
    Cardinal& cardinal = cardinals[heading];
    cardinal.frame = MakeHeadingFrame(HeadingObjectName(heading, "Frame"));
    cardinal.frameLayout = new QVBoxLayout(cardinal.frame);
    const QString name = QString::fromLatin1(kHeadingNames[heading]);
    cardinal.button = new QPushButton(QStringLiteral("Calibrate ") + name);
    cardinal.button->setObjectName(HeadingObjectName(heading, "CalibrateButton"));
    cardinal.button->setAutoDefault(false);
    cardinal.frameLayout->addWidget(cardinal.button);
    connect(cardinal.button, &QPushButton::clicked, this, [this, heading] {
        RunAction([this, heading] { return OnCalibrateHeading(heading); });
    });
    ResetResultField(heading);
    return cardinal.frame;
}

// The heading's result field, neutral: made the first time, emptied afterwards.
void CCoarseCalibrationPage::ResetResultField(int heading) {
    Cardinal& cardinal = cardinals[heading];
    if (cardinal.result != nullptr) {
        cardinal.result->SetNeutral();
        return;
    }
    auto* field = new CColouredField;
    field->setObjectName(HeadingObjectName(heading, "ResultField"));
    field->setAccessibleName(QString::fromLatin1(kHeadingNames[heading]) +
                             QStringLiteral(" result"));
    field->setAlignment(Qt::AlignCenter);
    field->setFocusPolicy(Qt::NoFocus);
    cardinal.frameLayout->addWidget(field);
    cardinal.result = field;
}

QWidget* CCoarseCalibrationPage::BuildHeadingDisplay() {
    compass = new CCompassCtrl;
    compass->setObjectName(QStringLiteral("compass"));
    compass->setAccessibleName(QStringLiteral("Magnetometer heading"));
    compass->setFixedSize(DialogUnitsToPixels(this, 164, 130));
    return compass;
}

QWidget* CCoarseCalibrationPage::BuildCounts() {
    auto* group = new QGroupBox(QStringLiteral("Magnetic Sensor Counts"));
    group->setObjectName(QStringLiteral("countsGroup"));
    auto* grid = new QGridLayout(group);
    for (int i = 0; i < 5; ++i) {
        const QString text = QString::fromLatin1(kCountNames[i]);
        QLabel* label = MakeLabel(text, QStringLiteral("count%1Label").arg(text));
        auto* field = new QLineEdit;
        field->setObjectName(QStringLiteral("count%1Field").arg(text));
        field->setReadOnly(true);
        field->setFocusPolicy(Qt::NoFocus);
        field->setAlignment(Qt::AlignRight);
        field->setAccessibleName(text + QStringLiteral(" count"));
        label->setBuddy(field);
        countFields[i] = field;
        // X, Y, Z in the first column pair, XL, YL beside X and Y.
        const int row = i < 3 ? i : i - 3;
        const int column = i < 3 ? 0 : 2;
        grid->addWidget(label, row, column);
        grid->addWidget(field, row, column + 1);
    }
    return group;
}

void CCoarseCalibrationPage::OnInit() {
    EnableCalibrate(false);
    nextNote->hide();
    statusPanel->Refresh(Link().State());
}

CCoarseCalibrationPage::Step CCoarseCalibrationPage::OnSetActive() {
    CAhrsState& state = Link().State();
    SetWizardButtons(0);
    if (!VersionCapabilities::Of(state.GetAhrsVersionClass()).coarseStep) {
        // The fine page is this class's step; a zeroing that failed (and was reported) is
        // tried again on the next pass.
        if (!passedOnce && Link().IsLinkAlive()) {
            Link().SelectOutputPage('C'); // the page that shows the corrections' echoes
            passedOnce = co_await ZeroCorrections(QStringLiteral(
                "The corrections are cleared again the next time the calibration starts."));
        }
        Session().SetPendingPage(kFinePage);
        PostMessage(kPageMessage);
        co_return;
    }
    // Only this magnetometer's own file counts: an earlier one's values never stay in use.
    // A file of zeros holds no measurement (the earth's field is never zero), and the
    // corrections would be computed against a vertical of nothing.
    CCoarseRun::LoadFreeField(Link(), Session());
    compass->ShowNeedle(true);
    compass->setEnabled(true);
    compass->SetHeading(0.0);
    StartAfresh();
    Subscribe();
    Link().SelectOutputPage('C');
    state.ClearCounters();
    currentHeading = state.GetMagRawHeading();
    ReadLiveValues();
    ShowLiveValues();
    EnableCalibrate(false);
    steadiness.Reset();
    rateMeter->SetValue(steadiness.Rate());
    StartPageTimer();
    // Without a link nothing could confirm them; the first Calibrate press tries again.
    if (Link().IsLinkAlive()) {
        co_await ZeroCorrections(kTryAgainByCalibrate);
    }
}

// Every visit begins the step anew: no heading collected, neutral result fields.
void CCoarseCalibrationPage::StartAfresh() {
    run.StartAfresh();
    for (int heading = 0; heading < 4; ++heading) {
        Cardinal& cardinal = cardinals[heading];
        cardinal.unsteady = false;
        cardinal.result->clear();
        if (cardinal.result->IsValid()) {
            ResetResultField(heading);
        }
    }
    nextNote->hide();
}

CCoarseCalibrationPage::Step CCoarseCalibrationPage::OnKillActive() {
    StopPageTimer();
    Unsubscribe();
    EndCollections();
    co_await Pause(kLeaveSettleMs);
}

// A collection that has not finished is abandoned: its box goes and its samples with it.
void CCoarseCalibrationPage::EndCollections() {
    run.AbandonCollections();
    for (Cardinal& cardinal : cardinals) {
        cardinal.unsteady = false;
        cardinal.box->Hide();
    }
}

// Zeroes the unit's corrections (see CCoarseRun::ZeroCorrections) behind a busy box. False
// (after telling the installer) when one was not confirmed, with `then` for what happens next.
QCoro::Task<bool> CCoarseCalibrationPage::ZeroCorrections(QString then) {
    CBusyBox box(this, QStringLiteral("Clearing corrections on HX410..."));
    box.Show();
    const CorrectionEcho echo = co_await run.ZeroCorrections(StepContext(), Session());
    if (echo.Confirmed()) {
        co_return true;
    }
    box.Hide();
    co_await ShowErrorBox(QString::fromStdString(echo.NotConfirmedText()) + '\n' + then,
                          QStringLiteral("Error clearing corrections"));
    co_return false;
}

void CCoarseCalibrationPage::ReadLiveValues() {
    live = MagReading::Of(Link().State());
}

void CCoarseCalibrationPage::ShowLiveValues() {
    for (int i = 0; i < 3; ++i) {
        countFields[i]->setText(QString::number(live.counts[i]));
    }
    for (int i = 0; i < 2; ++i) {
        countFields[3 + i]->setText(QString::number(live.level[i]));
    }
}

void CCoarseCalibrationPage::ShowFrameOf(double heading) {
    const int quadrant = QuadrantOf(heading);
    for (int i = 0; i < 4; ++i) {
        ShowHeadingFrame(cardinals[i].frame, i == quadrant);
    }
}

void CCoarseCalibrationPage::EnableCalibrate(bool enabled) {
    for (Cardinal& cardinal : cardinals) {
        cardinal.button->setEnabled(enabled);
    }
}

CCoarseCalibrationPage::Step CCoarseCalibrationPage::OnTick() {
    CAhrsState& state = Link().State();
    Link().CheckOutputPage();
    ReadLiveValues();
    currentHeading = state.GetMagRawHeading();
    rateMeter->SetValue(steadiness.Tick(currentHeading));
    ShowLiveValues();
    const CStatusPanel::Status status = ShowLive(currentHeading);
    EnableCalibrate(status.ahrsValid && steadiness.IsSteady());
    if (!Link().IsLinkAlive()) {
        EndCollections(); // the record was reset: no sample of it is real
        co_return;
    }
    for (const int heading : kCompassWalk) {
        CollectionStep(heading);
    }
    ShowWhetherAllCollected();
    co_await ReportUnsteadyCollections();
}

void CCoarseCalibrationPage::OnDisplayTick() {
    ShowLive(Link().State().GetMagRawHeading());
}

// The heading on the compass and its frame, and the unit's status.
CStatusPanel::Status CCoarseCalibrationPage::ShowLive(double heading) {
    compass->SetHeading(heading);
    ShowFrameOf(heading);
    return statusPanel->Refresh(Link().State());
}

// Adds the tick's sample to the heading's collection, if one runs, and shows how it went.
void CCoarseCalibrationPage::CollectionStep(int heading) {
    Cardinal& cardinal = cardinals[heading];
    const CCoarseRun::Collection collection = run.AddSample(heading, live, Session());
    if (collection == CCoarseRun::Collection::Idle) {
        return;
    }
    const bool last = collection != CCoarseRun::Collection::Collecting;
    cardinal.box->SetProgress(last ? CCoarseRun::kSamplesPerCollection
                                   : run.SamplesCollected(heading),
                              CCoarseRun::kSamplesPerCollection);
    if (!last) {
        return;
    }
    if (collection == CCoarseRun::Collection::Unsteady) {
        cardinal.unsteady = true;
    } else {
        cardinal.result->SetValid();
        cardinal.result->setText(QStringLiteral("OK"));
    }
    cardinal.box->Hide();
}

void CCoarseCalibrationPage::ShowWhetherAllCollected() {
    bool all = true;
    for (const Cardinal& cardinal : cardinals) {
        all = all && cardinal.result->IsValid();
    }
    all = all && run.AllCollected();
    nextNote->setVisible(all);
    if (all) {
        SetWizardButtons(IWizardFrame::kNext);
    }
}

// After the tick's collections, so that a box open meanwhile finds the page settled.
CCoarseCalibrationPage::Step CCoarseCalibrationPage::ReportUnsteadyCollections() {
    for (const int heading : kCompassWalk) {
        Cardinal& cardinal = cardinals[heading];
        if (!cardinal.unsteady) {
            continue;
        }
        cardinal.unsteady = false;
        const QString name = QString::fromLatin1(kHeadingNames[heading]);
        co_await ShowErrorBox(
            QStringLiteral("The %1 readings were not steady: a sample differed from "
                           "the others by more than the sensor's noise (a poor cable, "
                           "or the aircraft moved).\nNothing of this collection was "
                           "recorded for %1. Keep "
                           "the aircraft still and press Calibrate %1 to collect again.")
                .arg(name),
            QStringLiteral("Readings not steady"));
    }
}

// A heading whose measurement disagrees with the others is collected again: its result is
// withdrawn and Next waits for it.
CCoarseCalibrationPage::Step CCoarseCalibrationPage::RefuseHeadings(CoarseCrossCheck check) {
    for (int heading = 0; heading < 4; ++heading) {
        if (!run.IsCollected(heading)) {
            cardinals[heading].result->clear();
            ResetResultField(heading);
        }
    }
    nextNote->hide();
    if (check.suspect == -1) {
        co_await ShowErrorBox(
            QStringLiteral("The four headings do not agree with each other, so no coarse "
                           "corrections were sent.\nCheck the aircraft's alignment and "
                           "collect all four headings again."),
            QStringLiteral("Headings do not agree"));
        co_return;
    }
    const QString name = QString::fromLatin1(kHeadingNames[check.suspect]);
    co_await ShowErrorBox(
        QStringLiteral("The %1 measurement does not agree with the other three headings, "
                       "so no coarse corrections were sent.\nCheck that the aircraft "
                       "points %1 and stands still, then press Calibrate %1 to collect "
                       "it again.")
            .arg(name),
        QStringLiteral("Headings do not agree"));
}

CCoarseCalibrationPage::Step CCoarseCalibrationPage::OnCalibrateHeading(int heading) {
    if (!run.CorrectionsZeroed()) {
        const bool zeroed = co_await ZeroCorrections(kTryAgainByCalibrate);
        if (!zeroed) {
            co_return;
        }
    }
    if (!IsCoarseErrorInRange(CardinalError(currentHeading, heading))) {
        co_await ShowErrorBox(QString::fromUtf8(kCoarseRangeWarning),
                              QString::fromUtf8(kRangeWarningCaption));
        co_return;
    }
    run.StartCollection(heading);
    cardinals[heading].box->SetProgress(0, CCoarseRun::kSamplesPerCollection);
    cardinals[heading].box->Show();
}

CCoarseCalibrationPage::Answer CCoarseCalibrationPage::OnWizardNext() {
    if (!run.AllCollected()) {
        co_return kStay;
    }
    const std::optional<FreeFieldValues> freeField =
        Session().FreeFieldOf(Link().State().GetMagSerialNumber());
    if (!freeField) {
        co_await ShowErrorBox(
            QStringLiteral("No free field measurement of this RQ270 was found, so the "
                           "coarse corrections cannot be computed.\nRepeat Step 1 "
                           "before the coarse calibration."),
            QStringLiteral("Free field measurement missing"));
        co_return kStay;
    }
    SetWizardButtons(0);
    const CoarseCrossCheck check = run.CheckHeadings(*freeField);
    if (!check.agree) {
        co_await RefuseHeadings(check);
        co_return kStay;
    }
    CBusyBox box(this, QStringLiteral("Setting coarse corrections on HX410..."));
    box.Show();
    const CorrectionEcho echo = co_await run.SendCorrections(StepContext(), Session(), *freeField);
    box.Hide();
    if (!echo.Confirmed()) {
        co_await ShowErrorBox(QString::fromStdString(echo.NotConfirmedText()) +
                                  QStringLiteral("\nThe coarse corrections are not all set: "
                                                 "press Next to send them again."),
                              QStringLiteral("Error setting coarse corrections"));
        if (IsActivePage()) { // not when a lost link has gone to the connection page
            SetWizardButtons(IWizardFrame::kNext);
        }
        co_return kStay;
    }
    co_return kProceed;
}

CCoarseCalibrationPage::Answer CCoarseCalibrationPage::OnWizardBack() {
    const QMessageBox::StandardButton answer = co_await ShowMessageBox(
        QMessageBox::Question,
        QStringLiteral("Do you want to delete free field measurments and repeat collection?"),
        QStringLiteral("Collect Free Field Again?"), QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes) {
        co_await CCoarseRun::DeleteFreeField(StepContext(), Session());
    }
    co_return kProceed;
}

CCoarseCalibrationPage::Step CCoarseCalibrationPage::OnMessage(int message) {
    if (message == kDeviceUpdateMessage) {
        if (!Link().IsLinkAlive()) {
            EndCollections();
        }
        co_await ReportLostCommunication();
    } else if (message == kPageMessage) {
        const int target = Session().TakePendingPage();
        GoToPage(target == CInstallationSession::kNoPage ? kFinePage : target);
    }
}
