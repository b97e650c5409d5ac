#include "wizard/ReportPrinter.h"

#include "records/FileNames.h"
#include "report/InstallationReport.h"
#include "wizard/DialogAwaiter.h"

#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace {

// The report is printed whole: a page range chosen here would not be honoured.
QCoro::Task<bool> AskForPrinter(QPrinter& printer, QWidget* owner, CStepToken token) {
    QPrintDialog dialog(&printer, owner);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true); // a PDF without a printer
    CDialogAwaiter answered(dialog, std::move(token), QDialog::Rejected);
    const int answer = co_await answered;
    co_return answer == QDialog::Accepted;
}

} // namespace

CReportPrinter::CReportPrinter()
    : printer(std::make_unique<QPrinter>(QPrinter::HighResolution)), choose(AskForPrinter) {
    const QPrinterInfo defaultPrinter = QPrinterInfo::defaultPrinter();
    if (!defaultPrinter.isNull()) {
        printer->setPrinterName(defaultPrinter.printerName());
    }
}

CReportPrinter::~CReportPrinter() = default;

QCoro::Task<QString> CReportPrinter::Print(CInstallationReport& report, QWidget* owner,
                                           std::string directory, CStepToken token) {
    // The dialog names a PDF file after the document.
    printer->setDocName(report.GetName());
    ProposePdfFile(report.GetName(), directory);
    const bool chosen = co_await choose(*printer, owner, std::move(token));
    if (!chosen || report.Print(*printer)) {
        co_return QString();
    }
    co_return QStringLiteral("The report could not be printed on %1.\nCheck the printer and press "
                             "Print Report again.")
        .arg(printer->outputFileName().isEmpty() ? printer->printerName()
                                                 : printer->outputFileName());
}

// A PDF goes to the working folder, beside the log and the measurement files, unless one
// was chosen before. Only while the output is a PDF already: a file name given to a printer
// would send its output to that file.
void CReportPrinter::ProposePdfFile(const QString& documentName, const std::string& directory) {
    if (printer->outputFormat() != QPrinter::PdfFormat || !printer->outputFileName().isEmpty()) {
        return;
    }
    const std::string name = SafeFileNamePart(documentName.toStdString()) + ".pdf";
    printer->setOutputFileName(QString::fromStdString(JoinPath(directory, name)));
}
