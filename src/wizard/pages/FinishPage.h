#pragma once

#include "records/InstallationValues.h"
#include "wizard/ReportPrinter.h"
#include "wizard/WizardPage.h"

#include <QImage>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class CAhrsLink;
class CMountPictureView;
class QGridLayout;

// Page 6: the calibration values the HX410 now holds and the picture of its mount position.
// "Print Report" prints the installation report as often as wanted; Next saves the
// installation log, prepares the identification file for the next aircraft, puts the unit
// back into its normal output and goes on to the verification page.
//
// The values are taken when the page first becomes active with the unit connected after a
// calibration, and kept in the installation session: the summary, the log and the report all
// show them, even if the link is lost (which resets the unit's record) and comes back before
// they are written. Dates and times are those of printing and saving.
class CFinishPage : public CWizardPage {
    Q_OBJECT

public:
    // Asks where to save the log, proposing a file name; empty when cancelled.
    using LogFileChooser =
        std::function<QCoro::Task<QString>(QString proposedName, QWidget* owner, CStepToken token)>;

    // How long the unit is given to show its latitude and magnetic variation (output page E).
    static constexpr double kPageEReadMs = 2500;

    explicit CFinishPage(QWidget* parent = nullptr);
    ~CFinishPage() override;

    void OnInit() override;
    Step OnSetActive() override;
    Answer OnWizardNext() override;

    // The dialogs, replaceable so that tests can answer them.
    void SetPrinterChooser(CReportPrinter::Chooser chooser) {
        printer.SetChooser(std::move(chooser));
    }
    void SetLogFileChooser(LogFileChooser chooser) { chooseLogFile = std::move(chooser); }

    const InstallationValues& Values() const { return values; }
    QPrinter& Printer() const { return printer.Printer(); }

private:
    // One line of the summary: a label and its value; an empty label leaves a gap.
    struct SummaryRow {
        QString label;
        QString value;
    };

    void BuildControls();
    void ShowValues(const InstallationValues& taken);
    Step ReadLocationFromUnit();
    std::vector<SummaryRow> SummaryRows() const;
    void ShowSummary();
    Step OnPrintReport();
    Step SaveLog();
    InstallationValues WithSwing() const;
    Step PrepareIdentificationFile();

    QGridLayout* summary = nullptr;
    CMountPictureView* mountPicture = nullptr;
    CReportPrinter printer;
    LogFileChooser chooseLogFile;
    std::string directory;
    InstallationValues values;
    QImage picture;
    bool locked = false; // a print, a log or the summary is being made
};
