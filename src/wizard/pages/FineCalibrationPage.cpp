#include "wizard/pages/FineCalibrationPage.h"

#include "controls/ColouredField.h"
#include "controls/CompassCtrl.h"
#include "controls/RateMeterCtrl.h"
#include "controls/StatusPanel.h"
#include "device/AhrsLink.h"
#include "device/FixedPoint.h"
#include "device/VersionCapabilities.h"
#include "procedure/PollForEcho.h"
#include "procedure/StoreCorrections.h"
#include "records/CalibrationMath.h"
#include "records/FineErrorCheck.h"
#include "records/InstallationSession.h"
#include "records/SampleAgreement.h"
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

constexpr std::array<int, 4> kIndexOrder{kHeadingNorth, kHeadingSouth, kHeadingEast, kHeadingWest};
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
    // The corrections held before the calibration (unless the coarse page kept them before
    // it zeroed any): the connection page writes them back if the link is lost before new
    // ones are stored.
    if (Link().IsLinkAlive()) {
        Session().KeepEarlierCorrections(state.GetAhrsSerialNumber(),
                                         CInstallationSession::CorrectionsOf(state));
    }
    Session().SetRestoreDue(true);
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
    compassCorrection = {};
    allHeadingsMeasured = false;
    configurationStored = false;
    Session().ClearFineErrors();
    // Without a link nothing could confirm them; the first Calibrate press tries again.
    correctionsZeroed = false;
    if (Link().IsLinkAlive()) {
        correctionsZeroed = co_await ZeroCorrections();
    }
}

QCoro::Task<bool> CFineCalibrationPage::ZeroCorrections() {
    const bool zeroed = co_await SendCompassCorrections({}, Sending::Zero);
    co_return zeroed;
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
    {
        CBusyBox box(this, QStringLiteral("Reading latitude and magnetic variation from HX410..."));
        box.Show();
        Link().SelectOutputPage('E');
        co_await Pause(kPageEReadMs);
    }
    if (!Link().IsLinkAlive()) {
        co_return;
    }
    const CAhrsState& state = Link().State();
    variationEdit->setText(QString::fromStdString(FixedPoint(state.GetMagneticVariation(), 2)));
    latitudeEdit->setText(QString::fromStdString(FixedPoint(state.GetLatitude(), 6)));
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

CFineCalibrationPage::Step CFineCalibrationPage::SendLocation(Location location,
                                                              bool suspendParsing) {
    const auto send = [&](auto command) {
        if (suspendParsing) {
            Link().SetParsingSuspended(true);
        }
        command();
        Link().SetParsingSuspended(false);
    };
    send([&] { Link().SendLatitude(location.latitude); });
    co_await Pause(kLatitudeSettleMs);
    send([&] { Link().SendMagvar(location.variation); });
    co_await Pause(kVariationSettleMs);
}

// Sets the four compass corrections, each confirmed by the unit's echo within a bound: new
// ones in the order N, E, S, W to within the two decimals sent, the others in index order
// exactly. The page's own busy box shows meanwhile, or `shown`, the caller's. False (after
// hiding the busy box and telling the installer what was not confirmed) at the first one
// not confirmed.
QCoro::Task<bool> CFineCalibrationPage::SendCompassCorrections(std::array<double, 4> values,
                                                               Sending sending, CBusyBox* shown) {
    const bool fresh = sending == Sending::New;
    if (sending != Sending::Zero) {
        // The unit may hold these, or some of them, from here on: a heading measured again
        // is measured only after zeroing again.
        correctionsZeroed = false;
    }
    const double pollMs = sending == Sending::Zero ? kZeroPollMs : kSendPollMs;
    const double tolerance = fresh ? kSendTolerance : 0.0;
    CBusyBox own(this, sending == Sending::Zero
                           ? QStringLiteral("Clearing compass corrections...")
                           : QStringLiteral("Restoring compass corrections..."));
    CBusyBox& box = shown != nullptr ? *shown : own;
    box.Show();
    const CAhrsState& state = Link().State();
    for (const int heading : fresh ? kCompassWalk : kIndexOrder) {
        const double value = std::round(values[heading] * 100.0) / 100.0;
        const EchoPollResult result = co_await PollForEcho(
            StepContext(), pollMs, kEchoBoundMs,
            [&] {
                Link().SetParsingSuspended(true);
                const bool sent = Link().SendMcc(heading, value);
                Link().SetParsingSuspended(false);
                return sent;
            },
            [&] { return state.GetMccReports(heading); },
            [&] { return std::fabs(state.GetMcc(heading) - value) <= tolerance; });
        if (result != EchoPollResult::Confirmed) {
            static const char* const kThen[] = {
                "Press a Calibrate button to try again.", "Press Back to try again.",
                "Press Next to try again.", "Nothing was stored: try again."};
            box.Hide();
            co_await ShowErrorBox(
                QStringLiteral("The HX410 did not confirm the %1 compass correction "
                               "of %2.\n%3\n%4")
                    .arg(QString::fromLatin1(kHeadingNames[heading]),
                         QString::fromStdString(FixedPoint(value, 2)),
                         QString::fromLatin1(EchoPollMessage(result)),
                         QString::fromLatin1(kThen[static_cast<int>(sending)])),
                QStringLiteral("Error setting compass corrections"));
            co_return false;
        }
    }
    own.Hide();
    co_return true;
}

// Computes the compass corrections from the four errors, sends them and has the RQ270's
// configuration module store them, while `shown` is up. False, after hiding it and a box,
// when any of it failed.
QCoro::Task<bool> CFineCalibrationPage::StoreCompassCorrections(CBusyBox& shown) {
    if (StepCancelled()) {
        co_return false; // the wizard is closing: nothing is stored
    }
    compassCorrection = ComputeCompassCorrections(Session().FineErrors());
    const bool sent = co_await SendCompassCorrections(compassCorrection, Sending::New, &shown);
    if (!sent) {
        co_return false;
    }
    const StepOutcome stored = co_await EraseAndStoreMcc(StepContext());
    if (stored != StepOutcome::Done) {
        shown.Hide();
        co_await ReportStoreFailure();
        co_return false;
    }
    co_return true;
}

CInstallationSession::Corrections CFineCalibrationPage::UnitCorrections() const {
    return CInstallationSession::CorrectionsOf(Link().State());
}

// The compass corrections the unit held before the calibration, for Back and for a Next
// without new measurements.
std::array<double, 4> CFineCalibrationPage::EarlierCompassCorrections() const {
    const std::optional<CInstallationSession::Corrections> earlier =
        Session().EarlierCorrectionsOf(Link().State().GetAhrsSerialNumber());
    return earlier ? earlier->mcc : std::array<double, 4>{};
}

// Resets the magnetometer and compares the corrections the unit reports before and after:
// the stored ones are those it reloads. A link lost meanwhile never counts as kept (its
// record was reset); the lost-communication path reports it.
QCoro::Task<bool> CFineCalibrationPage::VerifyAcrossMagReset(QString boxText, double waitMs,
                                                             std::optional<Location> entered) {
    if (StepCancelled()) {
        co_return false; // the wizard is closing: the magnetometer is not reset
    }
    const CInstallationSession::Corrections before = UnitCorrections();
    Link().SetParsingSuspended(true);
    Link().ResetErrors();
    Link().ResetMagPower();
    Link().SetParsingSuspended(false);
    CBusyBox box(this, boxText);
    box.Show();
    co_await Pause(waitMs);
    const CInstallationSession::Corrections after = UnitCorrections();
    bool locationKept = true;
    if (entered) {
        locationKept = co_await LocationReadBack(*entered);
    }
    box.Hide();
    if (!Link().IsLinkAlive()) {
        co_return false;
    }
    if (after != before || !locationKept) {
        co_await ReportStoreFailure();
        co_return false;
    }
    co_return true;
}

QCoro::Task<bool> CFineCalibrationPage::LocationReadBack(Location entered) {
    Link().SelectOutputPage('E');
    co_await Pause(kPageEReadMs);
    const CAhrsState& state = Link().State();
    const bool kept =
        std::fabs(state.GetLatitude() - entered.latitude) < kReadBackTolerance &&
        std::fabs(state.GetMagneticVariation() - entered.variation) < kReadBackTolerance;
    Link().SelectOutputPage('C');
    co_return kept;
}

CFineCalibrationPage::Step CFineCalibrationPage::ReportStoreFailure() {
    co_await ShowErrorBox(QString::fromLatin1(kStoreFailure),
                          QString::fromLatin1(kStoreFailureCaption));
}

// The new corrections are in the configuration module: they are now the ones to keep, and
// nothing must write the earlier ones back.
void CFineCalibrationPage::Stored() {
    configurationStored = true;
    Session().ReplaceEarlierCorrections(Link().State().GetAhrsSerialNumber(), UnitCorrections());
    Session().Thaw(); // the finish page takes the values of this calibration
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
    if (!correctionsZeroed) {
        // The heading shown was taken with the earlier corrections: it is measured again
        // once the unit is steady without them.
        correctionsZeroed = co_await ZeroCorrections();
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
    const bool steadyThroughout = co_await HeadingHeldWhileRecording(fineHeading);
    measurementBox.Hide();
    if (!Link().IsLinkAlive()) {
        co_return; // the record was reset meanwhile; the lost-communication path reports it
    }
    if (!steadyThroughout) {
        co_await ShowErrorBox(
            QStringLiteral("The heading was not steady while the %1 error was recorded: "
                           "it jumped by more than the unit's noise (a poor cable, or "
                           "the aircraft moved).\nNothing was recorded for %1. Keep the "
                           "aircraft still and press Calibrate %1 again.")
                .arg(QString::fromLatin1(kHeadingNames[heading])),
            QStringLiteral("Readings not steady"));
        co_return;
    }
    Cardinal& cardinal = cardinals[heading];
    cardinal.result->SetValid();
    Session().SetFineError(heading, error);
    cardinal.result->setText(QStringLiteral("OK"));
    ShowWhetherAllMeasured();
}

// The headings through the recording's wait, one every kRecordSampleMs, must stay with the
// heading of the press, as a steady aircraft's do.
QCoro::Task<bool> CFineCalibrationPage::HeadingHeldWhileRecording(double pressed) {
    std::vector<double> headings;
    for (double waited = 0; waited < kMeasurementSettleMs; waited += kRecordSampleMs) {
        co_await Pause(kRecordSampleMs);
        headings.push_back(Link().State().GetAvgHeading());
    }
    const CSampleAgreement agreement(CSampleAgreement::kHeadingFloor,
                                     CSampleAgreement::Scale::Degrees360);
    co_return agreement.StayNear(headings, pressed);
}

// A new error must fit those already recorded at the other headings; otherwise the
// installer is told and nothing is recorded.
QCoro::Task<bool> CFineCalibrationPage::AgreesWithRecordedErrors(int heading, double error) {
    std::array<std::optional<double>, 4> recorded;
    for (int i = 0; i < 4; ++i) {
        if (cardinals[i].result->IsValid()) {
            recorded[i] = Session().FineError(i);
        }
    }
    // The unit holds field corrections when a coarse step has taken the hard iron out; the
    // coarse page zeroes them for the versions without that step.
    const CInstallationSession::Corrections held = UnitCorrections();
    const bool hardIronCorrected = held.mfc != decltype(held.mfc){};
    const FineAgreement agreement = CheckFineError(heading, error, recorded, hardIronCorrected);
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
            co_await SendLocation(*location, /*suspendParsing=*/false);
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
        Stored();
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
            co_await SendLocation(*location, /*suspendParsing=*/true);
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
        const bool restored =
            co_await SendCompassCorrections(EarlierCompassCorrections(), Sending::RestoreForNext);
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
    Stored();
    co_return kProceed;
}

CFineCalibrationPage::Answer CFineCalibrationPage::OnWizardBack() {
    // Back leaves the unit with the compass corrections it held before this step.
    const bool restored =
        co_await SendCompassCorrections(EarlierCompassCorrections(), Sending::RestoreForBack);
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
