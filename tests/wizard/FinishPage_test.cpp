// The finish page against the simulated unit: the summary, the printed report and the
// installation log keep the values of the page's activation, and a log that cannot be
// written is reported.

#include "SimPagesFixture.h"
#include "records/TempDir.h"
#include "wizard/IdentificationFile.h"
#include "wizard/pages/FinishPage.h"

#include <QAccessible>
#include <QFileDialog>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>

#include <array>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <system_error>

namespace {

const std::array<double, 4> kMcc{1.25, -0.5, 0.75, -2.0}; // N, S, E, W

std::string FileText(const std::string& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The text of a PDF, empty when pdftotext is missing.
std::string PdfText(const std::string& path) {
    std::string text;
    if (FILE* pipe = ::popen(("pdftotext -layout '" + path + "' - 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            text.append(buffer, n);
        }
        ::pclose(pipe);
    }
    return text;
}

} // namespace

class FinishPageTest : public SimPagesTest {
protected:
    // On the finish page of a unit of version class 6 (which never shows its latitude and
    // magnetic variation before this page) holding the compass corrections kMcc and a
    // calibration's measurement tables; the print and save dialogs answered by the test
    // unless `dialogs`.
    CTestUnit& Open(bool dialogs = false) {
        Session().SetInstaller("A. Tech");
        Session().SetShopName("Korvan Avionics");
        CTestUnit& sim =
            Connect({"--ahrs-version", "HX410 V1.52", "--latitude", "47.25", "--magvar", "3.5"});
        for (int heading = 0; heading < 4; ++heading) {
            EXPECT_TRUE(Link().SendMcc(heading, kMcc[heading]));
            Session().SetCoarseHeading(heading, {static_cast<int16_t>(1000 + heading)}, {});
        }
        EXPECT_TRUE(RunEventsUntil([] { return State().GetMcc(3) == kMcc[3]; }));
        EXPECT_TRUE(CIdentificationFile::Write(CIdentificationFile::Path(),
                                               {"N410KT", "A. Tech", "Korvan Avionics"}));
        wizard.GoToPage(kFinishPage);
        EXPECT_TRUE(StepsEnded(wizard));
        if (dialogs) {
            return sim;
        }
        Page().SetPrinterChooser(
            [this](QPrinter& printer, QWidget*, CStepToken) -> QCoro::Task<bool> {
                ++prints;
                printer.setOutputFormat(QPrinter::PdfFormat);
                printer.setOutputFileName(QString::fromStdString(ReportPath()));
                co_return true;
            });
        Page().SetLogFileChooser(
            [this](QString proposed, QWidget*, CStepToken) -> QCoro::Task<QString> {
                proposedNames.push_back(proposed.toStdString());
                co_return QString::fromStdString(logPath);
            });
        return sim;
    }
    CFinishPage& Page() { return *static_cast<CFinishPage*>(wizard.Page(kFinishPage)); }
    // The summary's values on the screen as a screen reader reads them, and where each starts.
    std::vector<std::string> SummaryRead() {
        std::vector<std::string> read;
        for (QLabel* value : Page().findChildren<QLabel*>(QStringLiteral("summaryValue"))) {
            if (!value->isVisible()) {
                continue;
            }
            read.push_back(QAccessible::queryAccessibleInterface(value)
                               ->text(QAccessible::Name)
                               .toStdString());
        }
        return read;
    }
    // Where the values start, once laid out, and where the labels end.
    std::set<int> SummaryValueLefts() {
        QApplication::processEvents(); // the pending layout
        std::set<int> lefts;
        for (QLabel* value : Page().findChildren<QLabel*>(QStringLiteral("summaryValue"))) {
            lefts.insert(value->mapTo(&Page(), QPoint(0, 0)).x());
        }
        return lefts;
    }
    int SummaryLabelsRight() {
        int right = 0;
        for (QLabel* label : Page().findChildren<QLabel*>(QStringLiteral("summaryLabel"))) {
            right = std::max(right, label->mapTo(&Page(), QPoint(0, 0)).x() +
                                        label->fontMetrics().horizontalAdvance(label->text()));
        }
        return right;
    }
    std::string ReportPath() const { return temp.Path() + "/report.pdf"; }

    const CTempDir temp;
    std::string logPath = temp.Path() + "/installation.log";
    std::vector<std::string> proposedNames;
    int prints = 0;
};

TEST_F(FinishPageTest, LogAndReportKeepTheCalibrationsValuesWhenTheLinkIsLostAndBack) {
    CTestUnit& sim = Open();
    // Each value is read with its label, and every value starts at the same place.
    EXPECT_EQ(
        SummaryRead(),
        (std::vector<std::string>{
            "Mount direction: Mount Position 9", "Mag Bias X Corr: " + sim.Value("MfcX"),
            "Mag Bias Y Corr: " + sim.Value("MfcY"), "Mag Bias Z Corr: " + sim.Value("MfcZ"),
            "North Compass Corr: 1.25", "South Compass Corr: -0.50", "East Compass Corr: 0.75",
            "West Compass Corr: -2.00", "Magnetic Variance: 3.50", "Latitude: 47.25"}));
    const std::set<int> lefts = SummaryValueLefts();
    ASSERT_EQ(lefts.size(), 1u);
    EXPECT_GT(*lefts.begin(), SummaryLabelsRight());
    SaveArtifact(wizard, "page-6-finish");

    // The technician unplugs the laptop to print in the office: the record is reset.
    ASSERT_EQ(sim.Command("power off"), "ok power off");
    ASSERT_TRUE(RunEventsUntil([] { return !Link().IsLinkAlive(); }));
    ASSERT_EQ(State().GetMcc(0), 0.0);

    Find<QPushButton>("printButton")->click();
    EXPECT_EQ(prints, 1);
    const std::string report = PdfText(ReportPath());
    if (report.empty()) {
        ADD_FAILURE() << "no text read from the report (is pdftotext installed?)";
    } else {
        EXPECT_NE(report.find("Compass Correction West:"), std::string::npos);
        EXPECT_NE(report.find("-2.00"), std::string::npos) << report;
        EXPECT_NE(report.find("1003.00"), std::string::npos) << report;
        EXPECT_NE(report.find("47.25"), std::string::npos) << report;
        EXPECT_NE(report.find("3.50"), std::string::npos) << report;
    }

    wizard.PressNext();
    EXPECT_TRUE(StepsEnded(wizard));
    ASSERT_EQ(wizard.CurrentPage(), kVerifyPage);
    ASSERT_EQ(proposedNames.size(), 1u);
    EXPECT_EQ(proposedNames[0].rfind("Korvan HX410 AHRS Installation Report - N410KT ", 0), 0u);
    const std::string log = FileText(logPath);
    for (const char* line :
         {"Compass Correction North: 1.25\n", "Compass Correction West: -2.00\n",
          "Magnetic Variance: 3.50\nLatitude: 47.25\n", "Raw X Sensor East: 1002.00\n",
          "Mount Position: Mount Position 9\n"}) {
        EXPECT_NE(log.find(line), std::string::npos) << line;
    }
    std::ofstream(std::string(HX410_ARTIFACTS_DIR) + "/installation.log") << log;

    // The unit is back before the technician returns to this page: its record starts again
    // from what it reports now, and the calibration's values stand. The log saved again is
    // the same.
    ASSERT_EQ(sim.Command("power on"), "ok power on");
    ASSERT_TRUE(RunEventsUntil([] { return Link().IsLinkAlive(); }));
    wizard.PressBack();
    EXPECT_TRUE(StepsEnded(wizard));
    ASSERT_EQ(wizard.CurrentPage(), kFinishPage);
    wizard.PressNext();
    EXPECT_TRUE(StepsEnded(wizard));
    const std::string second = FileText(logPath).substr(log.size());
    const auto afterDate = [](const std::string& text) {
        return text.substr(text.find("HX410 Serial"));
    };
    EXPECT_EQ(afterDate(second), afterDate(log));

    // The next aircraft: same installer and shop, a new tail number.
    CIdentificationFile::Entries entries;
    ASSERT_TRUE(CIdentificationFile::Read(CIdentificationFile::Path(), entries));
    EXPECT_EQ(entries.tailNumber, "");
    EXPECT_EQ(entries.installer, "A. Tech");
    EXPECT_EQ(entries.shopName, "Korvan Avionics");
}

TEST_F(FinishPageTest, ALogThatCannotBeWrittenIsReportedAndCanBeSavedAgain) {
    Open();
    logPath = temp.Path() + "/no-such-folder/installation.log";
    {
        CBoxAnswerer answerer(QMessageBox::Ok);
        wizard.PressNext();
        EXPECT_TRUE(StepsEnded(wizard));
        ASSERT_EQ(answerer.Boxes().size(), 1u);
        EXPECT_EQ(answerer.Boxes()[0].caption, "Error saving installation log");
        EXPECT_NE(answerer.Boxes()[0].text.find(logPath), std::string::npos);
        EXPECT_NE(answerer.Boxes()[0].text.find(std::generic_category().message(ENOENT)),
                  std::string::npos);
    }
    ASSERT_EQ(wizard.CurrentPage(), kVerifyPage);

    wizard.PressBack();
    EXPECT_TRUE(StepsEnded(wizard));
    ASSERT_EQ(wizard.CurrentPage(), kFinishPage);
    logPath = temp.Path() + "/installation.log";
    wizard.PressNext();
    EXPECT_TRUE(StepsEnded(wizard));
    ASSERT_EQ(wizard.CurrentPage(), kVerifyPage);
    EXPECT_NE(FileText(logPath).find("Compass Correction South: -0.50\n"), std::string::npos);

    // Cancelling the save dialog is silent.
    wizard.PressBack();
    EXPECT_TRUE(StepsEnded(wizard));
    logPath.clear();
    {
        const CBoxAnswerer answerer(QMessageBox::Ok);
        wizard.PressNext();
        EXPECT_TRUE(StepsEnded(wizard));
        EXPECT_EQ(wizard.CurrentPage(), kVerifyPage);
        EXPECT_TRUE(answerer.Boxes().empty());
    }

    // A full disk keeps this aircraft's tail number in the identification file: said in a
    // box, since the next start fills it in again.
    const std::string identification = CIdentificationFile::Path();
    ASSERT_TRUE(CIdentificationFile::Write(identification, {"N77", "A. Tech", "Shop"}));
    wizard.PressBack();
    EXPECT_TRUE(StepsEnded(wizard));
    const CBoxAnswerer answerer(QMessageBox::Ok);
    {
        const CFileSizeLimit full(0);
        wizard.PressNext();
        EXPECT_TRUE(StepsEnded(wizard));
    }
    EXPECT_EQ(wizard.CurrentPage(), kVerifyPage);
    ASSERT_EQ(answerer.Boxes().size(), 1u);
    EXPECT_EQ(answerer.Boxes()[0].caption, "Error saving identification");
    EXPECT_NE(answerer.Boxes()[0].text.find(identification), std::string::npos);
    EXPECT_NE(answerer.Boxes()[0].text.find(std::generic_category().message(EFBIG)),
              std::string::npos);
    EXPECT_EQ(FileText(identification), "N77\nA. Tech\nShop\n");
}

// The print dialog offers no page range that printing would not honour and proposes the PDF
// in the working folder, beside the log and the measurement files. The log's save dialog
// asks nothing about replacing a file: the log is added to the end of one that exists.
TEST_F(FinishPageTest, TheDialogsOfferOnlyWhatHappens) {
    Open(/*dialogs=*/true);
    Page().Printer().setOutputFormat(QPrinter::PdfFormat); // as on a laptop without a printer
    const std::string earlier = "An earlier installation\n";
    const std::string shopLog = directory / "shop.log";
    std::ofstream(shopLog) << earlier;

    bool pageRangeOffered = true;
    std::string proposedPdf;
    bool replaceAsked = true;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* print = qobject_cast<QPrintDialog*>(modal); print && print->isVisible()) {
            pageRangeOffered = print->testOption(QAbstractPrintDialog::PrintPageRange);
            for (const QLineEdit* field : print->findChildren<QLineEdit*>()) {
                if (field->isVisible() && field->text().endsWith(QStringLiteral(".pdf"))) {
                    proposedPdf = field->text().toStdString(); // the output file shown
                }
            }
            print->reject();
        } else if (auto* save = qobject_cast<QFileDialog*>(modal); save && save->isVisible()) {
            if (save->property("seenByTest").toBool()) {
                save->reject(); // still open after a question answered No
                return;
            }
            save->setProperty("seenByTest", true);
            replaceAsked = !save->testOption(QFileDialog::DontConfirmOverwrite);
            save->selectFile(QString::fromStdString(shopLog));
            static_cast<QDialog*>(save)->accept(); // as the Save button does
        }
    });
    answer.start(5);
    const CBoxAnswerer answerer(QMessageBox::No);

    Find<QPushButton>("printButton")->click();
    ASSERT_TRUE(StepsEnded(wizard));
    EXPECT_FALSE(pageRangeOffered);
    EXPECT_EQ(std::filesystem::path(proposedPdf).parent_path(), CurrentDirectory());
    EXPECT_EQ(std::filesystem::path(proposedPdf).extension(), ".pdf");

    wizard.PressNext();
    EXPECT_TRUE(StepsEnded(wizard));
    EXPECT_EQ(wizard.CurrentPage(), kVerifyPage);
    EXPECT_FALSE(replaceAsked);
    for (const auto& box : answerer.Boxes()) {
        ADD_FAILURE() << box.caption << ": " << box.text;
    }
    const std::string log = FileText(shopLog);
    EXPECT_EQ(log.rfind(earlier, 0), 0u);
    EXPECT_NE(log.find("Korvan HX410 AHRS Installation Report", earlier.size()), std::string::npos);
}
