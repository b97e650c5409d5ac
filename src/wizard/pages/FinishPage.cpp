#include "wizard/pages/FinishPage.h"

#include "device/AhrsLink.h"
#include "device/FixedPoint.h"
#include "records/CalibrationMath.h"
#include "records/FileNames.h"
#include "records/InstallationLogWriter.h"
#include "records/InstallationSession.h"
#include "report/InstallationReport.h"
#include "wizard/BusyBox.h"
#include "wizard/DialogAwaiter.h"
#include "wizard/ErrorBox.h"
#include "wizard/Geometry.h"
#include "wizard/IdentificationFile.h"
#include "wizard/MountPictureView.h"
#include "wizard/MountPositionList.h"
#include "wizard/PageWidgets.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <cerrno>
#include <ctime>
#include <optional>

namespace {

constexpr int kPictureSide = 174;

std::tm LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

// The log is appended to a file that exists, so the dialog asks no question about
// replacing one; its title says what happens instead.
QCoro::Task<QString> AskForLogFile(QString proposedName, QWidget* owner, CStepToken token) {
    QFileDialog dialog(owner);
    dialog.setWindowTitle(
        QStringLiteral("Save Installation Log (added to the end of an existing file)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilters({QStringLiteral("Log (*.log)"), QStringLiteral("All Files (*)")});
    dialog.setDefaultSuffix(QStringLiteral("log"));
    dialog.selectFile(proposedName);
    CDialogAwaiter answered(dialog, std::move(token), QDialog::Rejected);
    const int answer = co_await answered;
    if (answer != QDialog::Accepted) {
        co_return QString();
    }
    co_return dialog.selectedFiles().value(0);
}

QString Fixed2(double value) {
    return QString::fromStdString(FixedPoint(value, 2));
}

} // namespace

CFinishPage::CFinishPage(QWidget* parent)
    : CWizardPage(Kind::Interior, QString(), parent), chooseLogFile(AskForLogFile) {
    setObjectName(QStringLiteral("finishPage"));
    BuildControls();
}

CFinishPage::~CFinishPage() = default;

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
    auto* values = new QWidget;
    values->setObjectName(QStringLiteral("summary"));
    values->setAccessibleName(QStringLiteral("Calibration values"));
    summary = new QGridLayout(values);
    summary->setContentsMargins(0, 0, 0, 0);
    summary->setHorizontalSpacing(margin * 2);
    summary->setVerticalSpacing(0);
    summary->setColumnStretch(2, 1);
    columns->addWidget(values, 1, Qt::AlignTop);

    auto* right = new QVBoxLayout;
    mountPicture = new CMountPictureView;
    mountPicture->setObjectName(QStringLiteral("mountPicture"));
    mountPicture->setFixedSize(kPictureSide, kPictureSide);
    right->addWidget(mountPicture);
    QPushButton* print = MakeButton(QStringLiteral("Print Report"), QStringLiteral("printButton"));
    connect(print, &QPushButton::clicked, this,
            [this] { RunAction([this] { return OnPrintReport(); }); });
    right->addWidget(print);
    right->addStretch(1);
    columns->addLayout(right);
}

void CFinishPage::OnInit() {
    directory = CurrentDirectory();
}

CFinishPage::Step CFinishPage::OnSetActive() {
    SetWizardButtons(IWizardFrame::kNext);
    if (locked) {
        ShowSummary();
        co_return;
    }
    // The values of the calibration, once taken with the unit connected, stand: a link lost
    // and back since then has reset the unit's record, not the calibration.
    if (const std::optional<InstallationValues> frozen =
            Session().FrozenFor(Link().State().GetAhrsSerialNumber())) {
        ShowValues(*frozen);
        co_return;
    }
    locked = true;
    ShowValues(Session().ValuesWith(Link().State(), directory));
    // Read behind a box over the complete page, unless the record holds the unit's already.
    // A link lost meanwhile has reset the record: the values taken before it are shown.
    if (Link().IsLinkAlive() && (!values.latitude || !values.magneticVariation)) {
        co_await ReadLocationFromUnit();
        if (Link().IsLinkAlive()) {
            ShowValues(Session().ValuesWith(Link().State(), directory));
        }
    }
    if (Link().IsLinkAlive()) {
        Session().Freeze(values);
    }
    locked = false;
}

// `taken`, with the installer's entries as they are now and the mount's label and picture,
// shown.
void CFinishPage::ShowValues(const InstallationValues& taken) {
    values = taken;
    Session().WithEntries(values);
    values.mountLabel.reset();
    picture = QImage();
    if (const MountPosition* mount = MountPositions().Find(values.mountPosition)) {
        values.mountLabel = mount->label.toStdString();
        picture = mount->picture;
    }
    // No entry: the view says so rather than keep another position's picture.
    mountPicture->SetPicture(picture);
    ShowSummary();
}

// The unit shows its latitude and magnetic variation on output page E, which nothing
// before this page selects for most version classes. The rows are awaited for a bounded
// time; rows that did not come leave the values "not read" rather than the record's reset
// zeros. Page E stays selected: it is the output the unit is left in from here on.
CFinishPage::Step CFinishPage::ReadLocationFromUnit() {
    const CAhrsState& state = Link().State();
    const std::uint32_t latitudes = state.GetLatitudeCount();
    const std::uint32_t variations = state.GetMagneticVariationCount();
    CBusyBox box(this, QStringLiteral("Reading latitude and magnetic variation from HX410..."));
    box.Show();
    Link().SelectOutputPage('E');
    co_await WaitUntil(
        [&] {
            return !Link().IsLinkAlive() || (state.GetLatitudeCount() != latitudes &&
                                             state.GetMagneticVariationCount() != variations);
        },
        kPageEReadMs);
    box.Hide();
}

// The values as the technician reads them, in the order of the log.
std::vector<CFinishPage::SummaryRow> CFinishPage::SummaryRows() const {
    std::vector<SummaryRow> rows{{QStringLiteral("Mount direction"),
                                  QString::fromStdString(values.mountLabel.value_or(""))}};
    if (values.HasMagFieldCorrections()) {
        static const char* const kAxes[] = {"X", "Y", "Z"};
        if (values.freeField) {
            for (int axis = 0; axis < 3; ++axis) {
                rows.push_back({QStringLiteral("Mag Free Field %1").arg(QLatin1String(kAxes[axis])),
                                QString::number((*values.freeField)[axis])});
            }
        }
        for (int axis = 0; axis < 3; ++axis) {
            rows.push_back({QStringLiteral("Mag Bias %1 Corr").arg(QLatin1String(kAxes[axis])),
                            QString::number(values.magFieldCorrection[axis])});
        }
    }
    for (int heading = 0; heading < 4; ++heading) { // by index: N, S, E, W
        rows.push_back(
            {QString::fromLatin1(kHeadingNames[heading]) + QStringLiteral(" Compass Corr"),
             Fixed2(values.mcc[heading])});
    }
    rows.push_back({});
    rows.push_back({QStringLiteral("Magnetic Variance"),
                    QString::fromStdString(FixedOrNotRead(values.magneticVariation))});
    rows.push_back(
        {QStringLiteral("Latitude"), QString::fromStdString(FixedOrNotRead(values.latitude))});
    return rows;
}

// Labels in one column and values in the next, so that every value starts at the same
// place. A screen reader reads each value with its label: a label's accessible name is
// all that is read of it.
void CFinishPage::ShowSummary() {
    while (QLayoutItem* item = summary->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const int gap = fontMetrics().height();
    int line = 0;
    for (const SummaryRow& row : SummaryRows()) {
        if (row.label.isEmpty()) {
            summary->addItem(new QSpacerItem(0, gap, QSizePolicy::Minimum, QSizePolicy::Fixed),
                             line++, 0);
            continue;
        }
        QLabel* label = MakeLabel(row.label + QLatin1Char(':'), QStringLiteral("summaryLabel"));
        QLabel* value = MakeLabel(row.value, QStringLiteral("summaryValue"));
        value->setAccessibleName(row.label + QStringLiteral(": ") + row.value);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setBuddy(value);
        summary->addWidget(label, line, 0);
        summary->addWidget(value, line++, 1);
        label->show(); // at once, not when the layout gets round to it
        value->show();
    }
}

CFinishPage::Step CFinishPage::OnPrintReport() {
    if (locked) {
        co_return;
    }
    locked = true;
    CInstallationReport report;
    BuildInstallationReport(report, WithSwing(), picture);
    const QString failure = co_await printer.Print(report, this, directory, StepToken());
    locked = false;
    if (!failure.isEmpty()) {
        co_await ShowErrorBox(failure, QStringLiteral("Error printing report"));
    }
}

CFinishPage::Answer CFinishPage::OnWizardNext() {
    if (locked) {
        co_return kStay;
    }
    locked = true;
    co_await SaveLog();
    co_await PrepareIdentificationFile();
    locked = false;
    Link().SelectOutputPage('E');
    Link().ResetErrors();
    co_return kProceed;
}

// The log is the shop's record of the installation: a log that could not be written is
// reported; the technician can come back with Back and save it elsewhere.
CFinishPage::Step CFinishPage::SaveLog() {
    const std::tm now = LocalNow();
    const QString path = co_await chooseLogFile(
        QString::fromStdString(CInstallationLogWriter::ProposedFileName(values.tailNumber, now)),
        this, StepToken());
    if (path.isEmpty()) {
        co_return;
    }
    const InstallationValues logged = WithSwing();
    const std::string error = CInstallationLogWriter::Append(path.toStdString(), logged, now);
    if (error.empty()) {
        Session().SetSavedLog(values.ahrsSerialNumber, path.toStdString(), logged.swing);
    }
    if (!error.empty()) {
        co_await ShowErrorBox(
            QStringLiteral("The installation log could not be saved to\n%1\n(%2).\n\n"
                           "To save it elsewhere, press Back on the next page, then "
                           "Next here again.")
                .arg(path, QString::fromStdString(error)),
            QStringLiteral("Error saving installation log"));
    }
}

// The values with the compass swing recorded so far (a visit back from the verification page).
InstallationValues CFinishPage::WithSwing() const {
    InstallationValues withSwing = values;
    withSwing.swing = Session().SwingOf(values.ahrsSerialNumber);
    withSwing.swingToleranceDeg = CCompassSwing::ToleranceDeg(Settings());
    return withSwing;
}

// The next aircraft keeps the installer and the shop, and is asked for its tail number.
CFinishPage::Step CFinishPage::PrepareIdentificationFile() {
    const std::string path = CIdentificationFile::Path();
    CIdentificationFile::Entries entries;
    if (CIdentificationFile::Read(path, entries)) {
        entries.tailNumber.clear();
        errno = 0;
        if (!CIdentificationFile::Write(path, entries)) {
            co_await ShowWriteFailureBox(
                QStringLiteral("The tail number of this aircraft could not be cleared from"), path,
                errno,
                QStringLiteral("The next start of the program will fill it in again: type the "
                               "next aircraft's tail number over it."),
                QStringLiteral("Error saving identification"));
        }
    }
}
