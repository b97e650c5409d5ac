#pragma once

#include "records/InstallationValues.h"
#include "wizard/BusyBox.h"
#include "wizard/ReportPrinter.h"
#include "wizard/WizardPage.h"

#include <vector>

class CAhrsLink;
class CSwingPlotView;
class QLabel;
class QPushButton;
class QTableWidget;
class CCompassCtrl;
class CRateMeterCtrl;
class CStatusPanel;
class QLineEdit;

// Page 7: the calibrated magnetometer heading live on the compass rose and as a number, with
// the heading rate, the AHRS attitude and the status panel, while the installer turns the
// aircraft through known headings. It changes nothing on the unit; while it is shown the
// unit prints output page C, and page E again once it is left.
//
// The compass swing: at each marked line of the rose the technician records the unit's
// heading ("Record Heading": the mean of the next ten samples, once the status is valid and
// the heading steady); the deviations are shown as a table and a polar plot against the
// tolerance, go into the report ("Print Report") and are added to the log saved on the
// finish page when Finish is pressed.
class CVerifyPage : public CWizardPage {
    Q_OBJECT

public:
    static constexpr double kRateFullScale = 0.5;
    static constexpr double kRateGreenFraction = 0.2;
    static constexpr int kSwingSamples = 10;
    static constexpr double kSwingSampleBoundMs = 3000; // for each new sample from the unit
    static constexpr double kSteadyRate = 0.05;         // degrees a second, as the fine step

    explicit CVerifyPage(QWidget* parent = nullptr);

    bool LeavesOnLinkLoss() const override { return true; }

    void OnInit() override;
    Step OnSetActive() override;
    Step OnKillActive() override;
    Answer OnWizardFinish() override;

    // Tests answer the print dialog themselves.
    void SetPrinterChooser(CReportPrinter::Chooser chooser) {
        printer.SetChooser(std::move(chooser));
    }

protected:
    Step OnMessage(int message) override;
    Step OnTick() override;
    void OnDisplayTick() override;

private:
    void BuildControls();
    QWidget* BuildSwing();
    void ShowLive();
    void ShowSwing();
    Step OnRecordHeading();
    // The mean of the next kSwingSamples headings; none when the step ended or the link was
    // lost meanwhile.
    QCoro::Task<std::optional<double>> CollectHeading();
    Step OnPrintReport();
    InstallationValues ReportValues() const;

    CStatusPanel* statusPanel = nullptr;
    CCompassCtrl* compass = nullptr;
    CRateMeterCtrl* rateMeter = nullptr;
    QLineEdit* headingField = nullptr;
    QTableWidget* swingTable = nullptr;
    CSwingPlotView* swingPlot = nullptr;
    QLabel* toleranceLabel = nullptr;
    QPushButton* recordButton = nullptr;
    QPushButton* printButton = nullptr;
    CBusyBox recordingBox;
    CReportPrinter printer;
};
