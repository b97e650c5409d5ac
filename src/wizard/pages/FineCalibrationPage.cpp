#include "wizard/pages/FineCalibrationPage.h"

#include "controls/ColouredField.h"
#include "controls/CompassCtrl.h"
#include "controls/RateMeterCtrl.h"
#include "controls/StatusPanel.h"
#include "device/AhrsLink.h"
#include "device/FixedPoint.h"
#include "device/VersionCapabilities.h"
#include "records/CalibrationMath.h"
#include "records/InstallationSession.h"
#include "wizard/ErrorBox.h"
#include "wizard/Geometry.h"
#include "wizard/PageIndex.h"
#include "wizard/PageWidgets.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>
#include <locale>
#include <sstream>
#include <vector>

namespace {

constexpr int kFieldLength = 31;
const char kStoreFailure[] = "Failed to store compass correction values to RQ270.";
const char kStoreFailureCaption[] = "Error storing values";

// The heading window whose frame is shown, or -1 between the windows. West excludes its
// lower edge; the other windows include both edges.
int WindowOf(double heading) {
    if (heading >= 340.0 || heading <= 20.0) {
        return kHeadingNorth;
    }
    if (heading >= 70.0 && heading <= 110.0) {
        return kHeadingEast;
    }
    if (heading >= 160.0 && heading <= 200.0) {
        return kHeadingSouth;
    }
    if (heading > 250.0 && heading <= 290.0) {
        return kHeadingWest;
    }
    return -1;
}

// A field's text as a number: the whole text (blanks around it aside) must be one decimal
// number, so "4O.5" is refused instead of being read as 4.
std::optional<double> NumberOf(const QString& text) {
    std::istringstream stream(text.trimmed().toStdString());
    stream.imbue(std::locale::classic());
    double value = 0.0;
    if (!(stream >> value) || !std::isfinite(value)) {
        return std::nullopt;
    }
    stream >> std::ws;
    return stream.eof() ? std::optional<double>(value) : std::nullopt;
}

} // namespace

CFineCalibrationPage::CFineCalibrationPage(QWidget* parent)
    : CWizardPage(Kind::Interior, QString(), parent),
      measurementBox(this, QStringLiteral("Storing measurement to measurement data set...")) {
    setObjectName(QStringLiteral("finePage"));
    BuildControls();
    // The box leaves the compass, the headings' results and the heading readout in view.
    measurementBox.KeepClearOf({compass, headingField, rateMeter, cardinals[kHeadingNorth].frame,
                                cardinals[kHeadingSouth].frame, cardinals[kHeadingEast].frame,
                                cardinals[kHeadingWest].frame});
}

CFineCalibrationPage::~CFineCalibrationPage() = default;

void CFineCalibrationPage::BuildControls() {
    const int margin = DialogUnitsToPixels(this, 7, 0).width();
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(margin * 2, margin, margin * 2, margin);
    QLabel* title = MakeLabel(QStringLiteral("Step 3 - Fine Calibration"),
                              QStringLiteral("fineTitle"), QSizePolicy::Maximum);
    title->setFont(BoldFontOfHeight(this, 18));
    page->addWidget(title);

    auto* columns = new QHBoxLayout;
    columns->setSpacing(margin * 3);
    page->addLayout(columns, 1);

    QGridLayout* cross = MakeCompassCross(
        this, BuildCardinal(kHeadingNorth), BuildCardinal(kHeadingWest), BuildHeadingDisplay(),
        BuildCardinal(kHeadingEast), BuildCardinal(kHeadingSouth));

    auto* readout = new QVBoxLayout;
    QLabel* headingLabel = MakeLabel(QStringLiteral("RQ270 Heading"),
                                     QStringLiteral("rq270HeadingLabel"), QSizePolicy::Maximum);
    headingField =
        MakeReadOnlyField(new QLineEdit, headingLabel, QStringLiteral("rq270HeadingField"));
    headingField->setMaximumWidth(DialogUnitsToPixels(this, 60, 0).width());
    QLabel* rateLabel = MakeLabel(QStringLiteral("Rate Meter"), QStringLiteral("rateMeterLabel"),
                                  QSizePolicy::Maximum);
    rateMeter = new CRateMeterCtrl(kRateFullScale, kRateGreenFraction);
    rateMeter->setObjectName(QStringLiteral("rateMeter"));
    rateMeter->setAccessibleName(rateLabel->text());
    rateMeter->setFixedSize(DialogUnitsToPixels(this, 69, 10));
    rateLabel->setBuddy(rateMeter);
    readout->addStretch(1);
    readout->addWidget(headingLabel);
    readout->addWidget(headingField);
    readout->addWidget(rateLabel);
    readout->addWidget(rateMeter);
    cross->addLayout(readout, 2, 2, Qt::AlignLeft | Qt::AlignBottom);
    columns->addLayout(cross);

    auto* right = new QVBoxLayout;
    statusPanel =
        new CStatusPanel({CStatusPanel::kMeasuringMask, /*showMount=*/true, /*showAttitude=*/true});
    statusPanel->setObjectName(QStringLiteral("statusPanel"));
    right->addWidget(statusPanel);
    right->addWidget(BuildLocation());
    right->addStretch(1);
    storeButton =
        MakeButton(QStringLiteral("Store Configuration Module"), QStringLiteral("storeButton"));
    connect(storeButton, &QPushButton::clicked, this,
            [this] { RunAction([this] { return OnStoreConfiguration(); }); });
    right->addWidget(storeButton);
    columns->addLayout(right, 1);
}

QWidget* CFineCalibrationPage::BuildCardinal(int heading) {
    Cardinal& cardinal = cardinals[heading];
    cardinal.frame = MakeHeadingFrame(HeadingObjectName(heading, "Frame"));
    auto* layout = new QVBoxLayout(cardinal.frame);
    const QString name = QString::fromLatin1(kHeadingNames[heading]);
    cardinal.button = MakeButton(QStringLiteral("Calibrate ") + name,
                                 HeadingObjectName(heading, "CalibrateButton"));
    connect(cardinal.button, &QPushButton::clicked, this, [this, heading] {
        RunAction([this, heading] { return OnCalibrateHeading(heading); });
    });
    cardinal.result = new CColouredField;
    cardinal.result->setObjectName(HeadingObjectName(heading, "ResultField"));
    cardinal.result->setAccessibleName(name + QStringLiteral(" result"));
    cardinal.result->setAlignment(Qt::AlignCenter);
    cardinal.result->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(cardinal.button);
    layout->addWidget(cardinal.result);
    return cardinal.frame;
}

QWidget* CFineCalibrationPage::BuildHeadingDisplay() {
    compass = new CCompassCtrl;
    compass->setObjectName(QStringLiteral("compass"));
    compass->setAccessibleName(QStringLiteral("RQ270 heading compass"));
    compass->setFixedSize(DialogUnitsToPixels(this, 164, 130));
    return compass;
}

// Latitude and magnetic variation, each a field with its unit.
QWidget* CFineCalibrationPage::BuildLocation() {
    locationBlock = new QWidget;
    locationBlock->setObjectName(QStringLiteral("locationBlock"));
    auto* grid = new QGridLayout(locationBlock);
    grid->setContentsMargins(0, 0, 0, 0);
    const auto addRow = [&](int row, const QString& text, const QString& name) {
        QLabel* label = MakeLabel(text, name + QStringLiteral("Label"));
        auto* edit = new QLineEdit;
        edit->setObjectName(name + QStringLiteral("Edit"));
        edit->setMaxLength(kFieldLength);
        edit->setAccessibleName(text.chopped(1));
        edit->setMaximumWidth(DialogUnitsToPixels(this, 60, 0).width());
        label->setBuddy(edit);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        grid->addWidget(MakeLabel(QStringLiteral("degrees"), name + QStringLiteral("Unit")), row,
                        2);
        return edit;
    };
    variationEdit = addRow(0, QStringLiteral("Magnetic Variance:"), QStringLiteral("variation"));
    latitudeEdit = addRow(1, QStringLiteral("Latitude:"), QStringLiteral("latitude"));
    grid->setColumnStretch(3, 1);
    return locationBlock;
}

void CFineCalibrationPage::OnInit() {
    storeButton->hide();
}

CFineCalibrationPage::Step CFineCalibrationPage::OnSetActive() {
    CAhrsState& state = Link().State();
    storeButton->hide();
    SetWizardButtons(IWizardFrame::kBack | IWizardFrame::kNext);
    // The connection page writes them back if the link is lost before new ones are stored.
    CFineRun::KeepEarlierCorrections(Link(), Session());
    Subscribe(); // a link lost while the corrections are zeroed is reported afterwards
    co_await StartAfresh();
    locationBlock->setVisible(TakesLocation());
    if (IsActivePage() && TakesLocation()) {
        co_await ShowLocationFromUnit();
    }
    if (!IsActivePage() || StepCancelled()) {
        // A lost link went to the connection page meanwhile, or the wizard is closing:
        // nothing more is sent.
        co_return;
    }
    Link().SelectOutputPage('C');
    state.ClearCounters();
    compass->ShowNeedle(true);
    compass->setEnabled(true);
    compass->SetHeading(0.0);
    statusPanel->Refresh(state);
    EnableCalibrate(false);
    StartPageTimer();
}

// Every visit begins the step anew: no heading measured, neutral result fields, and the
// unit's compass corrections zeroed so that the errors are measured without them.
CFineCalibrationPage::Step CFineCalibrationPage::StartAfresh() {
    for (Cardinal& cardinal : cardinals) {
        cardinal.result->SetNeutral();
        cardinal.result->clear();
    }
    allHeadingsMeasured = false;
    run.StartAfresh(Session());
    // Without a link nothing could confirm them; the first Calibrate press tries again.
    if (Link().IsLinkAlive()) {
        co_await ZeroCorrections();
    }
}

QCoro::Task<bool> CFineCalibrationPage::ZeroCorrections() {
    CBusyBox box(this, QStringLiteral("Clearing compass corrections..."));
    box.Show();
    const CorrectionEcho echo = co_await run.ZeroCorrections(StepContext());
    box.Hide();
    if (!echo.Confirmed()) {
        co_await ReportCompassEcho(echo, Then::Calibrate);
    }
    co_return echo.Confirmed();
}

// The compass corrections held before the calibration go back, for Back and for a Next
// without new measurements.
QCoro::Task<bool> CFineCalibrationPage::RestoreEarlierCorrections(Then then) {
    CBusyBox box(this, QStringLiteral("Restoring compass corrections..."));
    box.Show();
    const CorrectionEcho echo = co_await run.RestoreEarlierCorrections(StepContext(), Session());
    box.Hide();
    if (!echo.Confirmed()) {
        co_await ReportCompassEcho(echo, then);
    }
    co_return echo.Confirmed();
}

// Tells the installer which compass correction the unit did not confirm (nothing when the
// step was cancelled, which shows no box).
CFineCalibrationPage::Step CFineCalibrationPage::ReportCompassEcho(CorrectionEcho echo, Then then) {
    if (echo.result == EchoPollResult::Cancelled || echo.index < 0 || echo.index >= 4) {
        co_return;
    }
    static const char* const kThen[] = {"Press a Calibrate button to try again.",
                                        "Press Back to try again.", "Press Next to try again.",
                                        "Nothing was stored: try again."};
    co_await ShowErrorBox(QString::fromStdString(echo.NotConfirmedText()) + '\n' +
                              QString::fromLatin1(kThen[static_cast<int>(then)]),
                          QStringLiteral("Error setting compass corrections"));
}

CFineCalibrationPage::Step CFineCalibrationPage::OnKillActive() {
    measurementBox.Hide();
    co_return;
}

bool CFineCalibrationPage::TakesLocation() const {
    return VersionCapabilities::Of(Link().State().GetAhrsVersionClass()).takesLocation;
}

// Fills the two fields with what the unit holds: it reports them on output page E. Without
// a link the fields stay empty, so that nothing is sent before the installer types them.
CFineCalibrationPage::Step CFineCalibrationPage::ShowLocationFromUnit() {
    latitudeEdit->clear();
    variationEdit->clear();
    if (!Link().IsLinkAlive()) {
        co_return;
    }
    CBusyBox box(this, QStringLiteral("Reading latitude and magnetic variation from HX410..."));
    box.Show();
    const std::optional<Location> held = co_await CFineRun::ReadLocation(StepContext());
    box.Hide();
    if (!held) {
        co_return;
    }
    variationEdit->setText(QString::fromStdString(FixedPoint(held->variation, 2)));
    latitudeEdit->setText(QString::fromStdString(FixedPoint(held->latitude, 6)));
}

// The two fields as numbers within their ranges; otherwise the installer is told which
// field is wrong and nothing is returned.
QCoro::Task<std::optional<CFineCalibrationPage::Location>> CFineCalibrationPage::ReadLocation() {
    const struct {
        QLineEdit* edit;
        const char* name;
        double limit;
    } fields[] = {{latitudeEdit, "Latitude", 90.0}, {variationEdit, "Magnetic Variance", 180.0}};
    Location location;
    for (const auto& field : fields) {
        const std::optional<double> value = NumberOf(field.edit->text());
        if (!value || std::fabs(*value) > field.limit) {
            co_await ShowErrorBox(
                QStringLiteral("%1: \"%2\" is not a number from -%3 to %3 degrees.\n"
                               "Nothing was sent to the HX410. Correct the field and "
                               "try again.")
                    .arg(QLatin1String(field.name), field.edit->text(),
                         QString::number(field.limit, 'f', 0)),
                QStringLiteral("Invalid %1").arg(QLatin1String(field.name)));
            field.edit->setFocus();
            co_return std::nullopt;
        }
        (field.edit == latitudeEdit ? location.latitude : location.variation) = *value;
    }
    co_return location;
}

// Computes the new compass corrections, sets them and has the RQ270's configuration module
// store them, while `shown` is up. False, after hiding it and a box, when any of it failed.
QCoro::Task<bool> CFineCalibrationPage::StoreCompassCorrections(CBusyBox& shown) {
    const CFineRun::Storing storing = co_await run.StoreNewCorrections(StepContext(), Session());
    if (!storing.echo.Confirmed()) {
        shown.Hide();
        co_await ReportCompassEcho(storing.echo, Then::Store);
        co_return false;
    }
    if (storing.stored != StepOutcome::Done) {
        shown.Hide();
        co_await ReportStoreFailure();
        co_return false;
    }
    co_return true;
}

// The stored corrections are those the unit reloads across a magnetometer reset. A link
// lost meanwhile never counts as kept (its record was reset); the lost-communication path
// reports it.
QCoro::Task<bool> CFineCalibrationPage::VerifyAcrossMagReset(QString boxText, double waitMs,
                                                             std::optional<Location> entered) {
    CBusyBox box(this, boxText);
    const CFineRun::Verification verification = co_await CFineRun::VerifyAcrossMagReset(
        StepContext(), waitMs, entered, [&box] { box.Show(); });
    box.Hide();
    if (verification == CFineRun::Verification::NotKept) {
        co_await ReportStoreFailure();
    }
    co_return verification == CFineRun::Verification::Kept;
}

CFineCalibrationPage::Step CFineCalibrationPage::ReportStoreFailure() {
    co_await ShowErrorBox(QString::fromLatin1(kStoreFailure),
                          QString::fromLatin1(kStoreFailureCaption));
}

void CFineCalibrationPage::ShowFrameOf(double heading) {
    const int window = WindowOf(heading);
    for (int i = 0; i < 4; ++i) {
        ShowHeadingFrame(cardinals[i].frame, i == window);
    }
}

void CFineCalibrationPage::EnableCalibrate(bool enabled) {
    for (Cardinal& cardinal : cardinals) {
        cardinal.button->setEnabled(enabled);
    }
}

CFineCalibrationPage::Step CFineCalibrationPage::OnTick() {
    const CAhrsState& state = Link().State();
    Link().CheckOutputPage();
    const CStatusPanel::Status status = ShowLive();
    fineHeading = state.GetAvgHeading();
    fineHeadingRate = state.GetAvgHeadingRate();
    steady = std::fabs(fineHeadingRate) < kSteadyRate;
    EnableCalibrate(status.ahrsValid && steady);
    co_return;
}

void CFineCalibrationPage::OnDisplayTick() {
    ShowLive();
}

// The unit's heading, its rate and its status as the record holds them now.
CStatusPanel::Status CFineCalibrationPage::ShowLive() {
    const CAhrsState& state = Link().State();
    const double heading = state.GetAvgHeading();
    headingField->setText(QString::fromStdString(FixedPoint(heading, 2)));
    ShowFrameOf(heading);
    compass->SetHeading(heading);
    rateMeter->SetValue(state.GetAvgHeadingRate());
    const CStatusPanel::Status status = statusPanel->Refresh(state);
    compass->ShowNeedle(status.magValid);
    return status;
}

void CFineCalibrationPage::ShowWhetherAllMeasured() {
    bool all = true;
    for (const Cardinal& cardinal : cardinals) {
        all = all && cardinal.result->IsValid();
    }
    storeButton->setVisible(all);
    if (all) {
        SetWizardButtons(0);
        allHeadingsMeasured = true;
    }
}

CFineCalibrationPage::Step CFineCalibrationPage::OnCalibrateHeading(int heading) {
    if (!run.CorrectionsZeroed()) {
        // The heading shown was taken with the earlier corrections: it is measured again
        // once the unit is steady without them.
        co_await ZeroCorrections();
        EnableCalibrate(false);
        co_return;
    }
    const double error = CardinalError(fineHeading, heading);
    if (!IsFineErrorInRange(error)) {
        ShowWhetherAllMeasured();
        co_await ShowErrorBox(QString::fromUtf8(kFineRangeWarning),
                              QString::fromUtf8(kRangeWarningCaption));
        co_return;
    }
    const bool agrees = co_await AgreesWithRecordedErrors(heading, error);
    if (!agrees) {
        co_return;
    }
    measurementBox.Show();
    const CFineRun::Recording recording =
        co_await run.RecordError(StepContext(), Session(), heading, fineHeading, error);
    measurementBox.Hide();
    if (recording == CFineRun::Recording::LinkLost || recording == CFineRun::Recording::Cancelled) {
        co_return; // the lost-communication path reports it
    }
    if (recording == CFineRun::Recording::Unsteady) {
        co_await ShowErrorBox(
            QStringLiteral("The heading was not steady while the %1 error was recorded: "
                           "it jumped by more than the unit's noise (a poor cable, or "
                           "the aircraft moved).\nNothing was recorded for %1. Keep the "
                           "aircraft still and press Calibrate %1 again.")
                .arg(QString::fromLatin1(kHeadingNames[heading])),
            QStringLiteral("Readings not steady"));
        co_return;
    }
    cardinals[heading].result->SetValid();
    cardinals[heading].result->setText(QStringLiteral("OK"));
    ShowWhetherAllMeasured();
}

// A new error must fit those already recorded at the other headings; otherwise the
// installer is told and nothing is recorded.
QCoro::Task<bool> CFineCalibrationPage::AgreesWithRecordedErrors(int heading, double error) {
    const FineAgreement agreement = run.CheckError(Link(), Session(), heading, error);
    if (agreement == FineAgreement::Agrees) {
        co_return true;
    }
    const QString name = QString::fromLatin1(kHeadingNames[heading]);
    const QString why =
        agreement == FineAgreement::FarFromOthers
            ? QStringLiteral("The %1 error of %2 degrees is too far from the errors at the other "
                             "headings.")
            : QStringLiteral("The %1 error of %2 degrees and the errors at the other headings "
                             "cannot all be right.");
    co_await ShowErrorBox(why.arg(name, QString::fromStdString(FixedPoint(error, 2))) +
                              QStringLiteral("\nNothing was recorded for %1. Check the aircraft's "
                                             "alignment to the compass rose and press Calibrate %1 "
                                             "again; if the error stays, measure the other "
                                             "headings again.")
                                  .arg(name),
                          QStringLiteral("Errors do not agree"));
    co_return false;
}

CFineCalibrationPage::Step CFineCalibrationPage::OnStoreConfiguration() {
    if (!allHeadingsMeasured) {
        co_return;
    }
    std::optional<Location> location;
    if (TakesLocation()) {
        location = co_await ReadLocation();
        if (!location) {
            co_return;
        }
    }
    {
        CBusyBox box(this, QStringLiteral("Recording configuration module..."));
        box.Show();
        if (location) {
            const StepOutcome sent =
                co_await CFineRun::SendLocation(StepContext(), *location, /*suspendParsing=*/false);
            if (sent == StepOutcome::Cancelled) {
                co_return;
            }
        }
        const bool stored = co_await StoreCompassCorrections(box);
        if (stored) {
            co_await Pause(kStoreSettleMs);
        }
        box.Hide();
        if (!stored) {
            co_return;
        }
    }
    const bool kept = co_await VerifyAcrossMagReset(
        QStringLiteral("Verifying RQ270 configuration module..."), kVerifyResetMs, location);
    if (kept) {
        CFineRun::Stored(Link(), Session());
        GoToPage(kFinishPage);
    }
}

CFineCalibrationPage::Answer CFineCalibrationPage::OnWizardNext() {
    if (allHeadingsMeasured) {
        std::optional<Location> location;
        if (TakesLocation()) {
            location = co_await ReadLocation();
            if (!location) {
                co_return kStay;
            }
            const StepOutcome sent =
                co_await CFineRun::SendLocation(StepContext(), *location, /*suspendParsing=*/true);
            if (sent == StepOutcome::Cancelled) {
                co_return kStay;
            }
        }
        CBusyBox box(this, QStringLiteral("Recording new settings on HX410..."));
        box.Show();
        const bool stored = co_await StoreCompassCorrections(box);
        if (stored) {
            co_await Pause(kNextSettleMs);
        }
        box.Hide();
        if (!stored) {
            co_return kStay;
        }
    } else {
        // Without new measurements Next verifies the corrections held before this step,
        // which the page zeroed on entry: they go back first.
        const bool restored = co_await RestoreEarlierCorrections(Then::Next);
        if (!restored) {
            co_return kStay;
        }
    }
    co_await Pause(kNextLeadMs);
    const bool kept = co_await VerifyAcrossMagReset(QStringLiteral("Resetting RQ270..."),
                                                    kNextResetMs, std::nullopt);
    if (!kept) {
        co_return kStay;
    }
    CFineRun::Stored(Link(), Session());
    co_return kProceed;
}

CFineCalibrationPage::Answer CFineCalibrationPage::OnWizardBack() {
    // Back leaves the unit with the compass corrections it held before this step.
    const bool restored = co_await RestoreEarlierCorrections(Then::Back);
    if (!restored) {
        co_return kStay;
    }
    Session().SetRestoreDue(false); // they are back
    // Versions without the coarse step would pass straight back through it to here: the
    // way back leads to the connection page.
    if (!VersionCapabilities::Of(Link().State().GetAhrsVersionClass()).coarseStep) {
        GoToPage(kConnectionPage);
        co_return kStay;
    }
    co_return kProceed;
}

CFineCalibrationPage::Step CFineCalibrationPage::OnMessage(int message) {
    if (message == kDeviceUpdateMessage) {
        co_await ReportLostCommunication();
    }
}
