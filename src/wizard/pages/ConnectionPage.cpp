#include "wizard/pages/ConnectionPage.h"

#include "device/AhrsLink.h"
#include "device/AhrsVersion.h"
#include "device/FixedPoint.h"
#include "device/VersionCapabilities.h"
#include "procedure/ConnectionRefresh.h"
#include "procedure/MountChange.h"
#include "procedure/PortOffer.h"
#include "records/CalibrationMath.h"
#include "records/InstallationSession.h"
#include "records/MagMeasurementFile.h"
#include "records/SettingsStore.h"
#include "wizard/BusyBox.h"
#include "wizard/ErrorBox.h"
#include "wizard/Geometry.h"
#include "wizard/PageIndex.h"
#include "wizard/PageWidgets.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cerrno>

namespace {

const char* const kComPortKey = "ComPort";

// A wrapping label that takes only its text's height.
QLabel* MakeTextLabel(const QString& text, const QString& name) {
    QLabel* label = MakeLabel(text, name, QSizePolicy::Maximum);
    label->setWordWrap(true);
    return label;
}

QLineEdit* MakeField(QLabel* buddy, const QString& name) {
    return MakeReadOnlyField(new QLineEdit, buddy, name);
}

} // namespace

CConnectionPage::CConnectionPage(QWidget* parent) : CWizardPage(Kind::Interior, QString(), parent) {
    setObjectName(QStringLiteral("connectionPage"));
    BuildControls();
}

void CConnectionPage::BuildControls() {
    const int margin = DialogUnitsToPixels(this, 7, 0).width();
    auto* columns = new QHBoxLayout(this);
    columns->setContentsMargins(margin * 2, margin, margin * 2, margin);
    columns->setSpacing(margin * 4);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    left->setSpacing(margin / 2);
    right->setSpacing(margin / 2);
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);

    QLabel* heading =
        MakeTextLabel(QStringLiteral("Select the PC COM port:"), QStringLiteral("portHeading"));
    heading->setFont(BoldFontOfHeight(this, 18));
    portList = new QComboBox;
    portList->setObjectName(QStringLiteral("portList"));
    portList->setAccessibleName(QStringLiteral("PC COM port"));
    heading->setBuddy(portList);
    left->addWidget(heading);
    left->addWidget(portList);
    left->addSpacing(margin);

    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    QLabel* statusLabel =
        MakeTextLabel(QStringLiteral("Connection Status:"), QStringLiteral("statusLabel"));
    statusField = MakeField(statusLabel, QStringLiteral("statusField"));
    ahrsVersionLabel = MakeTextLabel(QStringLiteral("HX410 Software Version:"),
                                     QStringLiteral("ahrsVersionLabel"));
    ahrsVersionField = MakeField(ahrsVersionLabel, QStringLiteral("ahrsVersionField"));
    magVersionLabel =
        MakeTextLabel(QStringLiteral("RQ270 Software Version:"), QStringLiteral("magVersionLabel"));
    magVersionField = MakeField(magVersionLabel, QStringLiteral("magVersionField"));
    for (QLabel* label : {statusLabel, ahrsVersionLabel, magVersionLabel}) {
        label->setWordWrap(false);
    }
    grid->addWidget(statusLabel, 0, 0);
    grid->addWidget(statusField, 0, 1);
    grid->addWidget(ahrsVersionLabel, 1, 0);
    grid->addWidget(ahrsVersionField, 1, 1);
    grid->addWidget(magVersionLabel, 2, 0);
    grid->addWidget(magVersionField, 2, 1);
    left->addLayout(grid);
    hintLabel = MakeTextLabel(QString(), QStringLiteral("connectionHint"));
    hintLabel->setStyleSheet(QStringLiteral("color: #a00000;"));
    hintLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    left->addWidget(hintLabel);
    left->addSpacing(margin);

    speedHeading =
        MakeTextLabel(QStringLiteral("ARINC 429 Speed Selection"), QStringLiteral("speedHeading"));
    speedNote = MakeTextLabel(QStringLiteral("(available for Mod 2 or later hardware)"),
                              QStringLiteral("speedNote"));
    highSpeed = new QRadioButton(QStringLiteral("High"));
    highSpeed->setObjectName(QStringLiteral("highSpeedRadio"));
    lowSpeed = new QRadioButton(QStringLiteral("Low"));
    lowSpeed->setObjectName(QStringLiteral("lowSpeedRadio"));
    auto* speedGroup = new QButtonGroup(this);
    speedGroup->addButton(highSpeed);
    speedGroup->addButton(lowSpeed);
    auto* radios = new QHBoxLayout;
    radios->addWidget(highSpeed);
    radios->addWidget(lowSpeed);
    radios->addStretch(1);
    left->addWidget(speedHeading);
    left->addWidget(speedNote);
    left->addLayout(radios);
    left->addStretch(1);

    maintenanceWord = new QCheckBox(QStringLiteral("ARINC Maintenance Word Enable"));
    maintenanceWord->setObjectName(QStringLiteral("maintenanceWordCheck"));
    maintenanceNote =
        MakeTextLabel(QStringLiteral("Check box if connecting to Korvan PD7100/PD7300 "
                                     "PND.\nUncheck box otherwise."),
                      QStringLiteral("maintenanceNote"));
    diagnosticNote = MakeTextLabel(QStringLiteral("Enables ARINC diagnostic labels 155, 350, 351, "
                                                  "352, 353 and 354 for data recording"),
                                   QStringLiteral("diagnosticNote"));
    clearNote =
        MakeTextLabel(QStringLiteral("ONLY click the button below to clear the existing free "
                                     "field measurment for this magnetometer."),
                      QStringLiteral("clearNote"));
    clearNote->setFont(BoldFontOfHeight(this, 14));
    clearPreCal = MakeButton(QStringLiteral("Clear Pre-Cal"), QStringLiteral("clearPreCalButton"));
    preCal = MakeButton(QStringLiteral("Pre-Cal"), QStringLiteral("preCalButton"));
    calibrate = MakeButton(QStringLiteral("Calibrate"), QStringLiteral("calibrateButton"));
    verifyOnly = MakeButton(QStringLiteral("Verify Only"), QStringLiteral("verifyOnlyButton"));
    right->addWidget(maintenanceWord);
    right->addWidget(maintenanceNote);
    right->addWidget(diagnosticNote);
    right->addSpacing(margin * 2);
    right->addWidget(clearNote);
    right->addWidget(clearPreCal, 0, Qt::AlignLeft);
    right->addStretch(1);
    auto* goOn = new QHBoxLayout;
    goOn->addStretch(1);
    goOn->addWidget(preCal);
    goOn->addWidget(calibrate);
    goOn->addWidget(verifyOnly);
    right->addLayout(goOn);

    // Reactions to the installer's clicks only: the tick sets these controls too, and
    // must not reprogram the unit every second.
    connect(portList, &QComboBox::activated, this,
            [this](int index) { RunAction([this, index] { return OnPortChanged(index); }); });
    const auto speedChosen = [this] { RunAction([this] { return OnSpeedChosen(); }); };
    connect(highSpeed, &QRadioButton::clicked, this, speedChosen);
    connect(lowSpeed, &QRadioButton::clicked, this, speedChosen);
    connect(maintenanceWord, &QCheckBox::clicked, this,
            [this] { RunAction([this] { return OnMaintenanceWordClicked(); }); });
    const auto calibrateChosen = [this] { RunAction([this] { return OnCalibrate(); }); };
    connect(calibrate, &QPushButton::clicked, this, calibrateChosen);
    connect(preCal, &QPushButton::clicked, this, calibrateChosen);
    connect(verifyOnly, &QPushButton::clicked, this,
            [this] { RunAction([this] { return OnVerifyOnly(); }); });
    connect(clearPreCal, &QPushButton::clicked, this,
            [this] { RunAction([this] { return OnClearPreCal(); }); });
}

void CConnectionPage::OnInit() {
    for (QWidget* widget : std::initializer_list<QWidget*>{
             ahrsVersionField, magVersionField, speedHeading, speedNote, highSpeed, lowSpeed,
             maintenanceWord, calibrate, preCal, ahrsVersionLabel, magVersionLabel, maintenanceNote,
             diagnosticNote, clearNote, clearPreCal}) {
        widget->hide();
    }
    lowSpeed->setChecked(true);
    verifyOnly->setEnabled(false);
    hintLabel->hide();
    lastArincOutput = -1.0;
}

CConnectionPage::Step CConnectionPage::OnSetActive() {
    SetWizardButtons(0);
    // A page chosen for a unit connected before is not this unit's: the refresh chooses
    // again.
    Session().SetPendingPage(CInstallationSession::kNoPage);
    // Closed first: the list probes each port exclusively, so the program's own open
    // port would be missing from it.
    Link().Close();
    Subscribe();
    FillPortList();
    co_await Refresh();
    // Refresh may have left for another page (no tail number, a pending mount sent); a
    // tick here would then keep acting on the wizard from a page nobody sees.
    if (IsActivePage()) {
        StartPageTimer();
    }
}

CConnectionPage::Step CConnectionPage::OnKillActive() {
    StopPageTimer();
    Unsubscribe();
    co_return;
}

void CConnectionPage::FillPortList() {
    const int saved = Settings().Get(kComPortKey, 0);
    const PortOffer offer = OfferPorts(Link(), saved);
    portList->clear();
    portList->setCurrentIndex(-1);
    for (const int number : offer.scan.ports) {
        portList->addItem(QStringLiteral("COM%1").arg(number), number);
        if (number == saved) {
            portList->setCurrentIndex(portList->count() - 1);
        }
    }
    if (portList->findData(saved) < 0) {
        portList->setCurrentIndex(-1); // not the first port the list shows by itself
    }
    QStringList hints;
    if (offer.busyPort != 0) {
        hints << QStringLiteral("COM%1, the port used last time, is in use by another program. "
                                "Close that program, then choose the port again.")
                     .arg(offer.busyPort);
    }
    if (!offer.scan.noPermission.empty()) {
        hints << QString::fromStdString(NoPermissionHint(offer.scan.noPermission));
    }
    SetHint(hints.join(QLatin1Char('\n')));
}

void CConnectionPage::SetHint(const QString& text) {
    hintLabel->setText(text);
    hintLabel->setVisible(!text.isEmpty());
}

void CConnectionPage::SetStatusText(const QString& text) {
    statusField->setText(text);
    statusField->repaint();
}

bool CConnectionPage::LeaveWhenNoTailNumber() {
    if (!Session().Entries().tailNumber.empty()) {
        return false;
    }
    SetWizardButtons(IWizardFrame::kNext);
    GoToPage(kWelcomePage);
    return true;
}

void CConnectionPage::ShowNotConnected() {
    Link().State().ClearCounters();
    SetStatusText(QStringLiteral("Not Connected"));
    for (QWidget* widget : std::initializer_list<QWidget*>{
             ahrsVersionField, magVersionField, ahrsVersionLabel, magVersionLabel, speedHeading,
             speedNote, highSpeed, lowSpeed, maintenanceWord, maintenanceNote, diagnosticNote,
             calibrate, preCal, clearPreCal, clearNote}) {
        widget->hide();
    }
    verifyOnly->setEnabled(false);
}

CConnectionPage::Step CConnectionPage::OnMessage(int message) {
    if (message == kDeviceUpdateMessage) {
        co_await Refresh();
    }
}

// A notification that comes during a refresh waits for the step to end and then refreshes
// again: no refresh runs inside another.
CConnectionPage::Step CConnectionPage::Refresh() {
    if (LeaveWhenNoTailNumber()) {
        co_return;
    }
    if (!Link().IsLinkAlive()) {
        ShowNotConnected();
        co_return;
    }
    if (Session().RestoreDueFor(Link().State().GetAhrsSerialNumber())) {
        co_await RestoreCompassCorrections();
    }
    if (!Link().IsLinkAlive() || StepCancelled()) {
        ShowNotConnected(); // lost while restoring: nothing to classify
        co_return;
    }
    SetStatusText(QStringLiteral("Connected"));
    const VersionClassification classified = co_await ClassifyConnectedUnit(
        StepContext(), [this] { ShowVersions(); }, kClassifyTries, kClassifyRetryMs);
    if (StepCancelled()) {
        co_return;
    }
    if (classified.unknownReported) {
        co_await ReportUnknownVersion();
        co_return; // the program is ending
    }
    const VersionCapabilities& offered = classified.capabilities;
    // The version decides the page after a pending mount change. Without a version taken
    // yet (a noisy line), the mount waits for the first tick that has one.
    const bool mountPending = Session().SelectedMount() != CInstallationSession::kNoMount;
    mountAwaitsVersion = mountPending && !offered.known;
    if (mountPending && !mountAwaitsVersion) {
        const bool sent = co_await CompletePendingMount();
        if (sent) {
            GoToPage(offered.freeFieldStep ? kCoarsePage : kFinePage);
        }
    }
    speedHeading->show();
    ShowSpeedSelection(offered);
    highSpeed->show();
    lowSpeed->show();
    ShowMaintenanceWord(offered, Pass::Refresh);
    ShowFinalButtons(offered);
    for (QWidget* widget : std::initializer_list<QWidget*>{ahrsVersionField, magVersionField,
                                                           ahrsVersionLabel, magVersionLabel}) {
        widget->show();
    }
}

void CConnectionPage::ShowVersions() {
    const CAhrsState& state = Link().State();
    ahrsVersionField->setText(QString::fromStdString(state.GetAhrsVersion()));
    magVersionField->setText(QString::fromStdString(state.GetMagVersion()));
}

// Writes back the compass corrections that the fine calibration page had replaced before
// the link was lost. Tells the installer when one was not confirmed; the reference is then
// kept for the next try.
CConnectionPage::Step CConnectionPage::RestoreCompassCorrections() {
    CBusyBox box(this, QStringLiteral("Restoring compass corrections on HX410..."));
    box.Show();
    const CorrectionEcho restore = co_await WriteBackInterruptedCorrections(
        StepContext(), Session(), {kRestorePollMs, kRestoreBoundMs});
    if (restore.Confirmed()) {
        co_return;
    }
    box.Hide();
    co_await ShowErrorBox(QStringLiteral("The HX410 did not confirm the %1 compass correction "
                                         "(%2) that was being restored.\nCheck the connection, "
                                         "then choose the COM port again.")
                              .arg(QString::fromLatin1(kHeadingNames[restore.index]),
                                   QString::fromStdString(FixedPoint(restore.value, 2))),
                          QStringLiteral("Error restoring compass corrections"));
}

CConnectionPage::Step CConnectionPage::ReportUnknownVersion() {
    co_await ShowMessageBox(
        QMessageBox::Question,
        QStringLiteral("Unknown HX410 Version. Program will CANCEL. Contact Korvan "
                       "Tech Support!"),
        QStringLiteral("Error - Unknown HX410 Version"), QMessageBox::Ok);
    EndWizard(0);
}

// Sends the mount that was chosen before the link was lost, once the RQ270 has reported a
// version. False (after telling the installer) when it did not within the bound; the
// mount then stays pending for the next refresh.
QCoro::Task<bool> CConnectionPage::CompletePendingMount() {
    CBusyBox box(this, QStringLiteral("Sending the new mount position to HX410..."));
    box.Show();
    const StepOutcome reported =
        co_await AwaitMagnetometer(StepContext(), kMountSettleMs, kMagVersionBoundMs);
    if (reported != StepOutcome::Done) {
        box.Hide();
        co_await ShowErrorBox(
            QStringLiteral("The RQ270 did not report its software version within %1 "
                           "seconds, so the new mount position was not sent to the "
                           "HX410.\nCheck the RQ270 cable, then choose the COM port "
                           "again.")
                .arg(kMagVersionBoundMs / 1000),
            QStringLiteral("Error communicating with RQ270"));
        co_return false;
    }
    const StepOutcome sent =
        co_await SendMount(StepContext(), Session(), Session().SelectedMount(), kMountSettleMs);
    co_return sent == StepOutcome::Done;
}

void CConnectionPage::ShowSpeedSelection(const VersionCapabilities& offered) {
    if (!offered.selectableA429Speed) {
        speedNote->show();
        highSpeed->setEnabled(false);
        lowSpeed->setEnabled(false);
        lowSpeed->setChecked(true);
        return;
    }
    const double speed = Link().State().GetA429Speed();
    if (speed == 1.0) {
        highSpeed->setChecked(true);
    } else if (speed == 0.0) {
        lowSpeed->setChecked(true);
    }
    speedNote->hide();
    highSpeed->setEnabled(true);
    lowSpeed->setEnabled(true);
}

void CConnectionPage::EnableGoOn(bool enabled) {
    calibrate->setEnabled(enabled);
    preCal->setEnabled(enabled);
    verifyOnly->setEnabled(enabled);
}

void CConnectionPage::ShowMaintenanceWord(const VersionCapabilities& offered, Pass pass) {
    if (!offered.maintenanceWord) {
        maintenanceWord->hide();
        maintenanceNote->hide();
        diagnosticNote->hide();
        return;
    }
    if (pass == Pass::Refresh) {
        maintenanceWord->setEnabled(false);
    }
    const double output = Link().State().GetArincOutput();
    if (output == -1.0) {
        // Not reported yet: nothing goes on until the unit has shown its setting.
        lastArincOutput = -1.0;
        maintenanceWord->setChecked(false);
        maintenanceWord->setEnabled(false);
        EnableGoOn(false);
    } else if (output == 1.0 || output == 0.0) {
        maintenanceWord->setChecked(output == 1.0);
        // On a tick the box comes back only once the unit reports a new setting.
        if (pass == Pass::Refresh || lastArincOutput != output) {
            lastArincOutput = output;
            maintenanceWord->setEnabled(true);
        }
        EnableGoOn(true);
    }
    maintenanceWord->show();
    maintenanceNote->show();
    diagnosticNote->show();
    ShowGoOnButton(offered);
}

void CConnectionPage::ShowGoOnButton(const VersionCapabilities& offered) {
    if (!offered.freeFieldStep) {
        calibrate->hide(); // class 2; the final buttons show "Calibrate" again
        preCal->show();
        clearPreCal->hide(); // no free-field measurement to clear
        clearNote->hide();
        return;
    }
    const std::string serial = Link().State().GetMagSerialNumber();
    const bool measured = CMagMeasurementFile(serial).Exists();
    clearNote->setVisible(measured);
    clearPreCal->setVisible(measured);
    calibrate->setVisible(measured);
    preCal->setVisible(!measured);
    if (serial.empty()) {
        // Which measurement file is this magnetometer's is not known yet.
        calibrate->setEnabled(false);
        preCal->setEnabled(false);
    }
}

void CConnectionPage::ShowFinalButtons(const VersionCapabilities& offered) {
    if (offered.goOnWithoutMaintenanceWord) {
        calibrate->setEnabled(true);
        verifyOnly->setEnabled(true);
    }
    if (offered.calibrateFromMount) {
        calibrate->show();
        preCal->hide();
        Session().SetPendingPage(kMountPage);
    }
}

CConnectionPage::Step CConnectionPage::OnTick() {
    if (LeaveWhenNoTailNumber()) {
        co_return;
    }
    if (!Link().IsLinkAlive()) {
        ShowNotConnected();
        co_return;
    }
    ShowVersions();
    const VersionClassification classified = ClassifyReportedVersion(Link().State());
    if (classified.unknownReported) {
        co_await ReportUnknownVersion();
        co_return; // the program is ending
    }
    const VersionCapabilities& offered = classified.capabilities;
    if (mountAwaitsVersion && offered.known) {
        co_await Refresh(); // the refresh that had no version yet, now with one
        co_return;
    }
    ShowSpeedSelection(offered);
    ShowMaintenanceWord(offered, Pass::Tick);
    ShowFinalButtons(offered);
}

CConnectionPage::Step CConnectionPage::OnPortChanged(int index) {
    const int number = portList->itemData(index).toInt();
    if (Link().IsPortOpen() && Link().PortName() == "COM" + std::to_string(number)) {
        // The port in use chosen again, as the failure boxes ask: its link stays, and what
        // failed (a restore, a pending mount) is tried again.
        co_await Refresh();
        co_return;
    }
    Link().Close();
    SetHint(QString());
    co_await Refresh();
    if (StepCancelled()) {
        co_return;
    }
    if (number > 0 && !Link().Open(static_cast<std::uint8_t>(number)) &&
        Link().LastOpenError() == EBUSY) {
        SetHint(QStringLiteral("COM%1 is in use by another program. Close that program, then "
                               "choose the port again.")
                    .arg(number));
    }
}

CConnectionPage::Step CConnectionPage::OnSpeedChosen() {
    highSpeed->setEnabled(false);
    lowSpeed->setEnabled(false);
    CBusyBox box(this, QStringLiteral("Storing the ARINC 429 speed selection..."));
    box.Show();
    const StepOutcome outcome =
        co_await StoreA429Speed(StepContext(), highSpeed->isChecked(), kSpeedStoreDelayMs);
    const bool stored = outcome == StepOutcome::Done;
    box.Hide();
    if (!stored) {
        co_await ShowErrorBox(QStringLiteral("Failed to store ARINC 429 speed selection to RQ270."),
                              QStringLiteral("Error storing values"));
    }
}

CConnectionPage::Step CConnectionPage::OnMaintenanceWordClicked() {
    lastArincOutput = Link().State().GetArincOutput();
    Link().ToggleArincOutput();
    maintenanceWord->setEnabled(false);
    co_return;
}

QCoro::Task<bool> CConnectionPage::MagnetometerAnswers(double waitBeforeReturnMs) {
    if (MagVersionReported(Link().State().GetMagVersion())) {
        co_return true;
    }
    co_await ShowErrorBox(
        QStringLiteral("RQ270 is not communicating with the HX410.  Please connect the "
                       "RQ270."),
        QStringLiteral("Error communicating with RQ270"));
    co_await Pause(waitBeforeReturnMs);
    GoToPage(kConnectionPage);
    co_return false;
}

void CConnectionPage::SaveSelectedPort() {
    const int number = portList->currentData().toInt();
    if (number > 0) {
        Settings().Set(kComPortKey, number);
    }
}

CConnectionPage::Step CConnectionPage::OnCalibrate() {
    const bool answers = co_await MagnetometerAnswers(0);
    if (!answers) {
        co_return;
    }
    SaveSelectedPort();
    GoToPage(kFreeFieldPage);
}

CConnectionPage::Step CConnectionPage::OnVerifyOnly() {
    const bool answers = co_await MagnetometerAnswers(kVerifyDelayMs);
    if (!answers) {
        co_return;
    }
    SaveSelectedPort();
    Link().SelectOutputPage('C');
    co_await Pause(kVerifyDelayMs);
    // The verify page shows Finish alone when reached this way.
    GoToPage(kVerifyPage);
}

CConnectionPage::Step CConnectionPage::OnClearPreCal() {
    const bool clear = co_await ShowErrorBox(
        QStringLiteral("Press \"OK\" to clear free field measurment.\nPress \"Cancel\" to leave "
                       "it alone."),
        QStringLiteral("Clear Free Field Measurement"));
    if (!clear) {
        co_return;
    }
    const CMagMeasurementFile file(Link().State().GetMagSerialNumber());
    file.Archive();
    if (!file.Exists()) {
        clearNote->hide();
        clearPreCal->hide();
        calibrate->hide();
        preCal->show();
    }
}
