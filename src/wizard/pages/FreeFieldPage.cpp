#include "wizard/pages/FreeFieldPage.h"

#include "controls/ColouredField.h"
#include "controls/StatusPanel.h"
#include "device/AhrsLink.h"
#include "records/InstallationSession.h"
#include "wizard/ErrorBox.h"
#include "wizard/Geometry.h"
#include "wizard/PageIndex.h"
#include "wizard/PageWidgets.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <optional>
#include <system_error>

namespace {

constexpr int kNoPendingPage = CInstallationSession::kNoPage;
const char* const kCountNames[] = {"X", "Y", "Z", "XL", "YL"};
const char* const kAxisNames[] = {"X", "Y", "Z"};

} // namespace

CFreeFieldPage::CFreeFieldPage(QWidget* parent)
    : CWizardPage(Kind::Interior, QString(), parent),
      collectingBox(this, QStringLiteral("Collecting Free Field Data...")) {
    collectingBox.LeavePageUsable();
    setObjectName(QStringLiteral("freeFieldPage"));
    BuildControls();
}

void CFreeFieldPage::BuildControls() {
    const int margin = DialogUnitsToPixels(this, 7, 0).width();
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(margin * 2, margin, margin * 2, margin);
    page->setSpacing(margin);

    QLabel* title = MakeLabel(QStringLiteral("Step 1 - Free field RQ270 measurement"),
                              QStringLiteral("freeFieldTitle"));
    title->setFont(BoldFontOfHeight(this, 18));
    page->addWidget(title);

    auto* columns = new QHBoxLayout;
    columns->setSpacing(margin * 4);
    page->addLayout(columns, 1);

    const int fieldWidth = DialogUnitsToPixels(this, 60, 0).width();
    auto* left = new QVBoxLayout;
    auto* countGroup = new QGroupBox(QStringLiteral("Magnetic Sensor Counts"));
    countGroup->setObjectName(QStringLiteral("sensorCountsGroup"));
    auto* countForm = new QFormLayout(countGroup);
    for (std::size_t i = 0; i < countFields.size(); ++i) {
        const QString name = QString::fromLatin1(kCountNames[i]);
        QLabel* label =
            MakeLabel(name + QLatin1Char(':'), QStringLiteral("count%1Label").arg(name));
        countFields[i] =
            MakeReadOnlyField(new QLineEdit, label, QStringLiteral("count%1Field").arg(name));
        countFields[i]->setAccessibleName(QStringLiteral("%1 count").arg(name));
        countFields[i]->setFixedWidth(fieldWidth);
        countForm->addRow(label, countFields[i]);
    }
    countGroup->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Maximum);
    left->addWidget(countGroup);
    left->addStretch(1);
    statusPanel = new CStatusPanel(
        {CStatusPanel::kFreeFieldMask, /*showMount=*/true, /*showAttitude=*/false});
    statusPanel->setObjectName(QStringLiteral("statusPanel"));
    left->addWidget(statusPanel);
    columns->addLayout(left, 1);

    auto* right = new QVBoxLayout;
    executeButton = new QPushButton(QStringLiteral("Execute"));
    executeButton->setObjectName(QStringLiteral("executeButton"));
    executeButton->setAutoDefault(false);
    right->addWidget(executeButton, 0, Qt::AlignLeft);
    auto* results = new QWidget;
    results->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    auto* resultForm = new QFormLayout(results);
    resultForm->setContentsMargins(0, 0, 0, 0);
    for (std::size_t i = 0; i < resultFields.size(); ++i) {
        const QString axis = QString::fromLatin1(kAxisNames[i]);
        QLabel* label = MakeLabel(QStringLiteral("%1 Free Field").arg(axis),
                                  QStringLiteral("freeField%1Label").arg(axis));
        resultFields[i] = new CColouredField;
        MakeReadOnlyField(resultFields[i], label, QStringLiteral("freeField%1Field").arg(axis));
        resultFields[i]->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        resultFields[i]->setFixedWidth(fieldWidth);
        resultForm->addRow(label, resultFields[i]);
    }
    right->addWidget(results);
    right->addSpacing(margin * 2);
    finishNote = MakeLabel(QStringLiteral("Click 'Finish' to Store Measurement\nfor\nSubsequent "
                                          "Calibration Steps"),
                           QStringLiteral("finishNote"));
    finishNote->setFont(BoldFontOfHeight(this, 18));
    finishNote->setAlignment(Qt::AlignCenter);
    right->addWidget(finishNote);
    right->addStretch(1);
    columns->addLayout(right, 1);

    connect(executeButton, &QPushButton::clicked, this,
            [this] { RunAction([this] { return OnExecute(); }); });
}

void CFreeFieldPage::OnInit() {
    executeButton->setEnabled(false);
    finishNote->hide();
    statusPanel->Refresh(Link().State());
}

CFreeFieldPage::Step CFreeFieldPage::OnSetActive() {
    if (LoadMeasurement()) {
        Session().SetPendingPage(kMountPage);
        PostMessage(kPageMessage);
        co_return;
    }
    if (Session().TakePendingPage() != kNoPendingPage) {
        PostMessage(kPageMessage);
        co_return;
    }
    measurement.Reset();
    for (CColouredField* field : resultFields) {
        field->SetNeutral(); // no result of an earlier visit stands for this one
    }
    finishNote->hide();
    SetWizardButtons(0);
    Subscribe();
    Link().SelectOutputPage('C');
    Link().State().ClearCounters();
    ShowReading(MagReading::Of(Link().State()));
    executeButton->setEnabled(false);
    StartPageTimer();
    co_return;
}

// The magnetometer's stored measurement, shown as the result. False when it has none.
bool CFreeFieldPage::LoadMeasurement() {
    if (!measurement.Load(Link().State().GetMagSerialNumber())) {
        return false;
    }
    ShowResult();
    executeButton->setEnabled(false);
    return true;
}

CFreeFieldPage::Step CFreeFieldPage::OnKillActive() {
    AbandonCollection();
    StopPageTimer();
    Unsubscribe();
    co_await Pause(kLeaveSettleMs);
}

CFreeFieldPage::Step CFreeFieldPage::OnMessage(int message) {
    if (message == kPageMessage) {
        if (IsActivePage()) {
            const int pending = Session().TakePendingPage();
            GoToPage(pending == kNoPendingPage ? kMountPage : pending);
        }
        co_return;
    }
    if (message == kDeviceUpdateMessage && !Link().IsLinkAlive()) {
        AbandonCollection(); // before the box, so no stale wait box stays above it
        co_await ReportLostCommunication();
    }
}

// The samples themselves come from the ticks that follow.
CFreeFieldPage::Step CFreeFieldPage::OnExecute() {
    measurement.Start();
    collectingBox.SetProgress(0, kSamplesPerCollection);
    collectingBox.Show();
    co_return;
}

void CFreeFieldPage::AbandonCollection() {
    measurement.Abandon();
    unsteady = false;
    collectingBox.Hide();
}

CFreeFieldPage::Step CFreeFieldPage::OnTick() {
    const CStatusPanel::Status status = statusPanel->Refresh(Link().State());
    if (!status.ahrsValid) {
        executeButton->setEnabled(false);
    } else if (status.magValid) {
        executeButton->setEnabled(true);
    }
    Link().CheckOutputPage();
    const MagReading reading = MagReading::Of(Link().State());
    ShowReading(reading);
    TakeSample(reading);
    // The measurement is saved under the magnetometer's serial number, once it is known.
    if (measurement.HasValues() && !Link().State().GetMagSerialNumber().empty()) {
        SetWizardButtons(IWizardFrame::kFinish);
    }
    if (unsteady) {
        unsteady = false;
        co_await ShowErrorBox(
            QStringLiteral(
                "The magnetometer readings were not steady: a sample differed "
                "from the others by more than the sensor's noise (a poor "
                "cable, or a magnetic disturbance nearby).\nNothing of this "
                "collection was recorded. Keep the RQ270 still and press Execute to collect "
                "again."),
            QStringLiteral("Readings not steady"));
    }
}

void CFreeFieldPage::ShowReading(const MagReading& reading) {
    for (std::size_t i = 0; i < 3; ++i) {
        countFields[i]->setText(QString::number(reading.counts[i]));
    }
    for (std::size_t i = 0; i < 2; ++i) {
        countFields[3 + i]->setText(QString::number(reading.level[i]));
    }
}

void CFreeFieldPage::TakeSample(const MagReading& reading) {
    using Progress = CFreeFieldMeasurement::Progress;
    const Progress progress = measurement.Add(reading);
    if (progress == Progress::Idle) {
        return;
    }
    collectingBox.SetProgress(measurement.Taken(), kSamplesPerCollection);
    if (progress == Progress::Unsteady) {
        collectingBox.Hide();
        unsteady = true;
    } else if (progress == Progress::Measured) {
        ShowResult();
        collectingBox.Hide();
        finishNote->show();
    }
}

void CFreeFieldPage::ShowResult() {
    for (std::size_t i = 0; i < resultFields.size(); ++i) {
        resultFields[i]->setText(QString::asprintf("%d", measurement.Values()[i]));
        resultFields[i]->SetValid();
    }
}

CFreeFieldPage::Answer CFreeFieldPage::OnWizardFinish() {
    AbandonCollection(); // a second collection still running is not what is saved
    CBusyBox savingBox(this, QStringLiteral("Saving free-field values to file..."));
    savingBox.Show();
    SetWizardButtons(0);
    const std::optional<CFreeFieldMeasurement::SaveFailure> failure =
        measurement.Save(Link().State().GetMagSerialNumber());
    if (failure) {
        savingBox.Hide();
        co_await ReportSaveFailure(QString::fromStdString(failure->path), failure->error);
        // The page stays, with Finish ready for another try once the cause is fixed.
        SetWizardButtons(IWizardFrame::kFinish);
        co_return kStay;
    }
    co_await Pause(kSavedShowMs);
    savingBox.Hide();
    co_return kProceed;
}

CFreeFieldPage::Step CFreeFieldPage::ReportSaveFailure(QString path, int error) {
    const QString reason = error != 0
                               ? QString::fromStdString(std::generic_category().message(error))
                               : QStringLiteral("The file could not be written completely");
    co_await ShowErrorBox(
        QStringLiteral("The free field measurement could not be saved to\n%1\n\n"
                       "Reason: %2.\n\nCorrect the cause (for example, make the folder "
                       "writable or free some disk space), then press Finish again.")
            .arg(path, reason),
        QStringLiteral("Error saving free field measurement"));
}
