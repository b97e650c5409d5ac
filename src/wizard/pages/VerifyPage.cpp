#include "wizard/pages/VerifyPage.h"

#include "controls/CompassCtrl.h"
#include "controls/RateMeterCtrl.h"
#include "controls/StatusPanel.h"
#include "device/AhrsLink.h"
#include "device/FixedPoint.h"
#include "records/FileNames.h"
#include "records/InstallationLogWriter.h"
#include "records/InstallationSession.h"
#include "records/PlainText.h"
#include "report/InstallationReport.h"
#include "wizard/Geometry.h"
#include "wizard/MountPositionList.h"
#include "wizard/PageIndex.h"
#include "wizard/PageWidgets.h"
#include "wizard/SwingPlotView.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>
#include <optional>

namespace {

QString Fixed2(double value) {
    return QString::fromStdString(FixedPoint(value, 2));
}

// The mean of headings near one another, across north: each is taken relative to the first.
double MeanHeading(const std::vector<double>& headings) {
    if (headings.empty()) {
        return 0.0;
    }
    double sum = 0.0;
    for (const double heading : headings) {
        sum += CCompassSwing::SignedDegrees(heading - headings.front());
    }
    const double mean = headings.front() + sum / static_cast<double>(headings.size());
    return std::fmod(std::fmod(mean, 360.0) + 360.0, 360.0);
}

} // namespace

CVerifyPage::CVerifyPage(QWidget* parent)
    : CWizardPage(Kind::Interior, QString(), parent),
      recordingBox(this, QStringLiteral("Recording heading...")) {
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
    columns->setSpacing(margin * 2);
    page->addLayout(columns, 1);

    // The live values: the heading and its rate above the status panel.
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
    statusPanel = new CStatusPanel(
        {CStatusPanel::kMeasuringMask, /*showMount=*/false, /*showAttitude=*/true});
    statusPanel->setObjectName(QStringLiteral("statusPanel"));
    auto* left = new QVBoxLayout;
    left->addWidget(headingLabel);
    left->addWidget(headingField);
    left->addWidget(rateLabel);
    left->addWidget(rateMeter);
    left->addStretch(1);
    left->addWidget(statusPanel);
    columns->addLayout(left, 0);

    compass = new CCompassCtrl;
    compass->setObjectName(QStringLiteral("compass"));
    compass->setAccessibleName(QStringLiteral("RQ270 heading compass"));
    columns->addWidget(compass, 1);
    columns->addWidget(BuildSwing(), 0);
}

// The compass swing: the table of the twelve lines, the plot, the tolerance and the buttons.
QWidget* CVerifyPage::BuildSwing() {
    auto* group = new QGroupBox(QStringLiteral("Compass Swing"));
    group->setObjectName(QStringLiteral("swingGroup"));
    auto* layout = new QGridLayout(group);
    swingTable = new QTableWidget(CCompassSwing::kLineCount, 4);
    swingTable->setObjectName(QStringLiteral("swingTable"));
    swingTable->setAccessibleName(QStringLiteral("Compass swing"));
    swingTable->setHorizontalHeaderLabels({QStringLiteral("Heading"), QStringLiteral("Unit"),
                                           QStringLiteral("Deviation"), QStringLiteral("Mark")});
    swingTable->verticalHeader()->hide();
    swingTable->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 2);
    swingTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    swingTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    swingTable->setSelectionMode(QAbstractItemView::NoSelection);
    swingTable->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    swingTable->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    swingTable->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    swingPlot = new CSwingPlotView;
    swingPlot->setObjectName(QStringLiteral("swingPlot"));
    swingPlot->setAccessibleName(QStringLiteral("Compass swing plot"));
    toleranceLabel = MakeLabel(QString(), QStringLiteral("swingTolerance"), QSizePolicy::Maximum);
    recordButton =
        MakeButton(QStringLiteral("Record Heading"), QStringLiteral("recordHeadingButton"));
    recordButton->setEnabled(false);
    printButton = MakeButton(QStringLiteral("Print Report"), QStringLiteral("swingPrintButton"));
    printButton->hide();
    connect(recordButton, &QPushButton::clicked, this,
            [this] { RunAction([this] { return OnRecordHeading(); }); });
    connect(printButton, &QPushButton::clicked, this,
            [this] { RunAction([this] { return OnPrintReport(); }); });
    layout->addWidget(swingTable, 0, 0, 3, 1);
    layout->addWidget(swingPlot, 0, 1);
    layout->addWidget(toleranceLabel, 1, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(recordButton);
    buttons->addWidget(printButton);
    layout->addLayout(buttons, 2, 1, Qt::AlignBottom);
    for (int line = 0; line < CCompassSwing::kLineCount; ++line) {
        for (int column = 0; column < 4; ++column) {
            auto* item = new QTableWidgetItem;
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            swingTable->setItem(line, column, item);
        }
        swingTable->item(line, 0)->setText(QString::fromStdString(CCompassSwing::LineLabel(line)));
    }
    return group;
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
    recordButton->setEnabled(false);
    ShowSwing();
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
    // A heading is recorded only from a valid unit on a steady aircraft.
    const CAhrsState& state = Link().State();
    const CStatusPanel::Status status = statusPanel->Refresh(state);
    const bool steady = std::fabs(state.GetAvgHeadingRate()) < kSteadyRate;
    recordButton->setEnabled(Link().IsLinkAlive() && status.ahrsValid && status.magValid && steady);
    co_return;
}

void CVerifyPage::OnDisplayTick() {
    ShowLive();
}

void CVerifyPage::ShowLive() {
    const CAhrsState& state = Link().State();
    compass->SetHeading(state.GetAvgHeading());
    rateMeter->SetValue(state.GetAvgHeadingRate());
    headingField->setText(QString::fromStdString(FixedPoint(state.GetAvgHeading(), 2)));
    const CStatusPanel::Status status = statusPanel->Refresh(state);
    compass->ShowNeedle(status.magValid);
}

void CVerifyPage::ShowSwing() {
    const CCompassSwing swing = Session().SwingOf(Link().State().GetAhrsSerialNumber());
    const double tolerance = CCompassSwing::ToleranceDeg(Settings());
    toleranceLabel->setText(QStringLiteral("Tolerance: %1 degrees")
                                .arg(QString::fromStdString(FixedPoint(tolerance, 2))));
    for (int line = 0; line < CCompassSwing::kLineCount; ++line) {
        const std::optional<double> unit = swing.UnitHeadingAt(line);
        const std::optional<double> deviation = swing.DeviationAt(line);
        swingTable->item(line, 1)->setText(unit ? Fixed2(*unit) : QString());
        swingTable->item(line, 2)->setText(deviation ? Fixed2(*deviation) : QString());
        swingTable->item(line, 3)->setText(swing.Exceeds(line, tolerance) ? QStringLiteral("*")
                                                                          : QString());
    }
    swingPlot->Show(swing, tolerance);
    printButton->setVisible(!swing.Empty());
}

// Records the unit's heading at the marked line it is nearest to.
CVerifyPage::Step CVerifyPage::OnRecordHeading() {
    const double pressed = Link().State().GetAvgHeading();
    const std::optional<int> line = CCompassSwing::NearestLine(pressed);
    if (!line) {
        co_await ShowErrorBox(
            QStringLiteral("The unit's heading %1 is more than %2 degrees from every marked line "
                           "of the compass rose (000, 030, ..., 330).\nTurn the aircraft to a "
                           "marked line, then press Record Heading again.")
                .arg(Fixed2(pressed))
                .arg(CCompassSwing::kCaptureDeg, 0, 'f', 0),
            QStringLiteral("Heading not on a marked line"));
        co_return;
    }
    const std::string serial = Link().State().GetAhrsSerialNumber();
    recordingBox.SetText(QStringLiteral("Recording heading %1...")
                             .arg(QString::fromStdString(CCompassSwing::LineLabel(*line))));
    recordingBox.SetProgress(0, kSwingSamples);
    recordingBox.Show();
    const std::optional<double> mean = co_await CollectHeading();
    recordingBox.Hide();
    if (!mean || Link().State().GetAhrsSerialNumber() != serial) {
        co_return; // left or lost: nothing half-recorded stays
    }
    Session().RecordSwing(serial, *line, *mean);
    ShowSwing();
}

QCoro::Task<std::optional<double>> CVerifyPage::CollectHeading() {
    const CAhrsState& state = Link().State();
    std::vector<double> headings;
    for (int sample = 0; sample < kSwingSamples; ++sample) {
        // Each sample a new one from the unit, which keeps showing the page it is read from.
        const std::uint32_t before = state.GetAvgHeadingCount();
        const bool fresh = co_await WaitUntil([&] { return state.GetAvgHeadingCount() != before; },
                                              kSwingSampleBoundMs);
        if (!fresh || StepCancelled() || !Link().IsLinkAlive() || !IsActivePage()) {
            co_return std::nullopt;
        }
        Link().CheckOutputPage();
        headings.push_back(state.GetAvgHeading());
        recordingBox.SetProgress(sample + 1, kSwingSamples);
    }
    co_return MeanHeading(headings);
}

// The values of the log and the report: those taken on the finish page, else the unit's now
// (a visit by "Verify Only"), with the installer's entries and the swing.
InstallationValues CVerifyPage::ReportValues() const {
    const CAhrsState& state = Link().State();
    InstallationValues values = Session()
                                    .FrozenFor(state.GetAhrsSerialNumber())
                                    .value_or(Session().ValuesWith(state, CurrentDirectory()));
    Session().WithEntries(values);
    if (const MountPosition* mount = MountPositions().Find(values.mountPosition)) {
        values.mountLabel = mount->label.toStdString();
    }
    values.swing = Session().SwingOf(values.ahrsSerialNumber);
    values.swingToleranceDeg = CCompassSwing::ToleranceDeg(Settings());
    return values;
}

CVerifyPage::Step CVerifyPage::OnPrintReport() {
    const InstallationValues values = ReportValues();
    const MountPosition* mount = MountPositions().Find(values.mountPosition);
    CInstallationReport report;
    BuildInstallationReport(report, values, mount != nullptr ? mount->picture : QImage());
    const QString failure = co_await printer.Print(report, this, CurrentDirectory(), StepToken());
    if (!failure.isEmpty()) {
        co_await ShowErrorBox(failure, QStringLiteral("Error printing report"));
    }
}

// A swing recorded after the log was saved on the finish page goes into that log.
CVerifyPage::Answer CVerifyPage::OnWizardFinish() {
    CInstallationSession& session = Session();
    const std::string serial = Link().State().GetAhrsSerialNumber();
    const std::string log = session.SavedLogOf(serial);
    const CCompassSwing unlogged = session.UnloggedSwingOf(serial);
    if (unlogged.Empty() || log.empty()) {
        co_return kProceed;
    }
    // Only the headings the log does not hold yet, and the largest deviation of them all.
    const std::string error =
        CInstallationLogWriter::AppendSwing(log, unlogged, session.SwingOf(serial));
    if (error.empty()) {
        session.SetSwingLogged();
        co_return kProceed;
    }
    const bool stay = co_await ShowErrorBox(
        QStringLiteral("The compass swing could not be added to the installation log\n%1\n(%2)."
                       "\n\nPress OK to stay (Back, then Next on the finish page saves the log "
                       "with the swing elsewhere), or Cancel to finish without the swing in the "
                       "log.")
            .arg(QString::fromStdString(Utf8FromBytes(log)), QString::fromStdString(error)),
        QStringLiteral("Error saving installation log"));
    co_return stay ? kStay : kProceed;
}
