#pragma once

#include "procedure/StepToken.h"

#include <QCoroTask>
#include <QString>

#include <functional>
#include <memory>
#include <string>

class CInstallationReport;
class QPrinter;
class QWidget;

// The print path of the installation report: the system's default printer, the print
// dialog (awaited) and a PDF proposed in the working folder when the output is a file.
class CReportPrinter {
public:
    // Lets the technician choose and set up the printer; false when cancelled.
    using Chooser =
        std::function<QCoro::Task<bool>(QPrinter& printer, QWidget* owner, CStepToken token)>;

    CReportPrinter();
    ~CReportPrinter();
    CReportPrinter(const CReportPrinter&) = delete;
    CReportPrinter& operator=(const CReportPrinter&) = delete;

    // Tests answer the dialog themselves.
    void SetChooser(Chooser chooser) { choose = std::move(chooser); }
    QPrinter& Printer() const { return *printer; }

    // Asks for the printer, then prints `report`. Empty when it was printed or the dialog was
    // cancelled; otherwise what to tell the technician.
    QCoro::Task<QString> Print(CInstallationReport& report, QWidget* owner, std::string directory,
                               CStepToken token);

private:
    void ProposePdfFile(const QString& documentName, const std::string& directory);

    std::unique_ptr<QPrinter> printer;
    Chooser choose;
};
