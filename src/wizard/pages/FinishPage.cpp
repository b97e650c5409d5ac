#include "wizard/pages/FinishPage.h"

#include "device/AhrsLink.h"
#include "device/FixedPoint.h"
#include "records/FileNames.h"
#include "records/InstallationLogWriter.h"
#include "report/InstallationReport.h"
#include "wizard/ErrorBox.h"
#include "wizard/Geometry.h"
#include "wizard/IdentificationFile.h"
#include "wizard/InstallationInfo.h"
#include "wizard/MountPictureView.h"
#include "wizard/MountPositionList.h"
#include "wizard/PageWidgets.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QVBoxLayout>

#include <ctime>

namespace {

constexpr int kPictureSide = 174;

std::tm LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

bool AskForPrinter(QPrinter& printer, QWidget* owner) {
    QPrintDialog dialog(&printer, owner);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true); // a PDF without a printer
    dialog.setMinMax(1, 1);
    return dialog.exec() == QDialog::Accepted;
}

QString AskForLogFile(const QString& proposedName, QWidget* owner) {
    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({QStringLiteral("Log (*.log)"), QStringLiteral("All Files (*)")});
    dialog.setDefaultSuffix(QStringLiteral("log"));
    dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted) {
        return QString();
    }
    return dialog.selectedFiles().value(0);
}

QString Fixed2(double value) {
    return QString::fromStdString(FixedPoint(value, 2));
}

} // namespace

CFinishPage::CFinishPage(QWidget* parent)
    : CWizardPage(Kind::Interior, QString(), parent),
      printer(std::make_unique<QPrinter>(QPrinter::HighResolution)), choosePrinter(AskForPrinter),
      chooseLogFile(AskForLogFile) {
    setObjectName(QStringLiteral("finishPage"));
    const QPrinterInfo defaultPrinter = QPrinterInfo::defaultPrinter();
    if (!defaultPrinter.isNull()) {
        printer->setPrinterName(defaultPrinter.printerName());
    }
    BuildControls();
}

CFinishPage::~CFinishPage() = default;

CAhrsLink& CFinishPage::Link() const {
    return CAhrsLink::Instance();
}

void CFinishPage::BuildControls() {
    const int margin = DialogUnitsToPixels(this, 7, 0).width();
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(margin * 2, margin, margin * 2, margin);
    page->setSpacing(margin);
    QLabel* title = MakeLabel(QStringLiteral("Print (optional) and Create Calibration Log File"),
                              QStringLiteral("finishTitle"), QSizePolicy::Maximum);
    title->setFont(BoldFontOfHeight(this, 18));
    page->addWidget(title);
    page->addWidget(MakeLabel(QStringLiteral("You have successfully completed the HX410 AHRS "
                                             "Installation/Calibration Procedure. \nThese are "
                                             "the calibration values:"),
                              QStringLiteral("finishText"), QSizePolicy::Maximum));

    auto* columns = new QHBoxLayout;
    columns->setSpacing(margin * 4);
    page->addLayout(columns, 1);
    summary = MakeLabel(QString(), QStringLiteral("summaryText"));
    summary->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    summary->setAccessibleName(QStringLiteral("Calibration values"));
    columns->addWidget(summary, 1);

    auto* right = new QVBoxLayout;
    mountPicture = new CMountPictureView;
    mountPicture->setObjectName(QStringLiteral("mountPicture"));
    mountPicture->setFixedSize(kPictureSide, kPictureSide);
    right->addWidget(mountPicture);
    QPushButton* print = MakeButton(QStringLiteral("Print Report"), QStringLiteral("printButton"));
    connect(print, &QPushButton::clicked, this, &CFinishPage::OnPrintReport);
    right->addWidget(print);
    right->addStretch(1);
    columns->addLayout(right);
}

void CFinishPage::OnInit() {
    directory = CurrentDirectory();
}

void CFinishPage::OnSetActive() {
    SetWizardButtons(IWizardFrame::kNext);
    // Without a link the record was reset: the values of the last activation stand.
    if (locked || (taken && !Link().IsLinkAlive())) {
        summary->setText(Summary());
        return;
    }
    locked = true;
    taken = true;
    values = TakeInstallationValues(Link().State(), directory);
    const CInstallationInfo& info = CInstallationInfo::Instance();
    values.tailNumber = info.TailNumber();
    values.shopName = info.ShopName();
    values.installer = info.Installer();
    picture = QImage();
    if (const MountPosition* mount = CMountPositionList::Instance().Find(values.mountPosition)) {
        values.mountLabel = mount->label.toStdString();
        picture = mount->picture;
    }
    // No entry: the view says so rather than keep another position's picture.
    mountPicture->SetPicture(picture);
    summary->setText(Summary());
    locked = false;
}

// The values as the technician reads them, one per line, label and value apart by tabs.
QString CFinishPage::Summary() const {
    QString text = QStringLiteral("Mount direction:\t\t") +
                   QString::fromStdString(values.mountLabel.value_or(std::string())) + '\n';
    if (values.HasMagFieldCorrections()) {
        static const char* const kAxes[] = {"X", "Y", "Z"};
        if (values.freeField) {
            for (int axis = 0; axis < 3; ++axis) {
                text += QStringLiteral("Mag Free Field %1:   \t%2\n")
                            .arg(QLatin1String(kAxes[axis]))
                            .arg((*values.freeField)[axis]);
            }
        }
        for (int axis = 0; axis < 3; ++axis) {
            text += QStringLiteral("Mag Bias %1 Corr:   \t%2\n")
                        .arg(QLatin1String(kAxes[axis]))
                        .arg(values.magFieldCorrection[axis]);
        }
    }
    text += QStringLiteral("North Compass Corr:\t") + Fixed2(values.mcc[0]) + '\n';
    text += QStringLiteral("South Compass Corr:\t") + Fixed2(values.mcc[1]) + '\n';
    text += QStringLiteral("East Compass Corr:\t") + Fixed2(values.mcc[2]) + '\n';
    text += QStringLiteral("West Compass Corr:\t") + Fixed2(values.mcc[3]) + '\n';
    text += '\n';
    text += QStringLiteral("Magnetic Variance:\t") + Fixed2(values.magneticVariation) + '\n';
    text += QStringLiteral("Latitude:\t\t") + Fixed2(values.latitude) + '\n';
    return text;
}

void CFinishPage::OnPrintReport() {
    if (locked) {
        return;
    }
    locked = true;
    CInstallationReport report;
    BuildInstallationReport(report, values, picture);
    // The dialog names a PDF file after the document.
    printer->setDocName(report.GetName());
    const bool chosen = choosePrinter(*printer, this);
    const bool printed = !chosen || report.Print(*printer);
    locked = false;
    if (!printed) {
        ShowErrorBox(QStringLiteral("The report could not be printed on %1.\nCheck the printer "
                                    "and press Print Report again.")
                         .arg(printer->outputFileName().isEmpty() ? printer->printerName()
                                                                  : printer->outputFileName()),
                     QStringLiteral("Error printing report"));
    }
}

int CFinishPage::OnWizardNext() {
    if (locked) {
        return kStay;
    }
    locked = true;
    SaveLog();
    PrepareIdentificationFile();
    locked = false;
    Link().SelectOutputPage('E');
    Link().ResetErrors();
    return kProceed;
}

// The log is the shop's record of the installation: a log that could not be written is
// reported; the technician can come back with Back and save it elsewhere.
void CFinishPage::SaveLog() {
    const std::tm now = LocalNow();
    const QString path = chooseLogFile(
        QString::fromStdString(CInstallationLogWriter::ProposedFileName(values.tailNumber, now)),
        this);
    if (path.isEmpty()) {
        return;
    }
    const std::string error = CInstallationLogWriter::Append(path.toStdString(), values, now);
    if (!error.empty()) {
        ShowErrorBox(QStringLiteral("The installation log could not be saved to\n%1\n(%2).\n\n"
                                    "To save it elsewhere, press Back on the next page, then "
                                    "Next here again.")
                         .arg(path, QString::fromStdString(error)),
                     QStringLiteral("Error saving installation log"));
    }
}

// The next aircraft keeps the installer and the shop, and is asked for its tail number.
void CFinishPage::PrepareIdentificationFile() const {
    const std::string path = CIdentificationFile::Path();
    CIdentificationFile::Entries entries;
    if (CIdentificationFile::Read(path, entries)) {
        entries.tailNumber.clear();
        CIdentificationFile::Write(path, entries);
    }
}
