// The finish page against the simulated unit.
#include "SimulatedLinkSuite.h"
#include "wizard/IdentificationFile.h"
#include "wizard/pages/FinishPage.h"

#include <QAccessible>
#include <QLabel>
#include <QPrinter>

#include <fstream>
#include <system_error>

class FinishPageTest : public SimPagesTest {
protected:
    // On the finish page of a class 6 unit (its location is read here) after a calibration;
    // the print and save dialogs answered by the test.
    CTestUnit& Open() {
        Session().SetInstaller("A. Tech");
        Session().SetShopName("Korvan Avionics");
        CTestUnit& sim =
            Connect({"--ahrs-version", "HX410 V1.52", "--latitude", "47.25", "--magvar", "3.5"});
        const std::array<double, 4> mcc{1.25, -0.5, 0.75, -2.0}; // N, S, E, W
        for (int heading = 0; heading < 4; ++heading) {
            EXPECT_TRUE(Link().SendMcc(heading, mcc[heading]));
            Session().SetCoarseHeading(heading, {static_cast<int16_t>(1000 + heading)}, {});
        }
        EXPECT_TRUE(RunEventsUntil([&] { return State().GetMcc(3) == mcc[3]; }));
        EXPECT_TRUE(CIdentificationFile::Write(CIdentificationFile::Path(),
                                               {"N410KT", "A. Tech", "Korvan Avionics"}));
        GoTo(kFinishPage);
        Page().SetPrinterChooser(
            [this](QPrinter& printer, QWidget*, CStepToken) -> QCoro::Task<bool> {
                ++prints;
                printer.setOutputFormat(QPrinter::PdfFormat);
                printer.setOutputFileName(QString::fromStdString(temp / "report.pdf"));
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
    // The summary's values as a screen reader reads them.
    std::vector<std::string> SummaryRead() {
        std::vector<std::string> read;
        for (QLabel* value : Page().findChildren<QLabel*>(QStringLiteral("summaryValue"))) {
            if (value->isVisible()) {
                read.push_back(QAccessible::queryAccessibleInterface(value)
                                   ->text(QAccessible::Name)
                                   .toStdString());
            }
        }
        return read;
    }

    const CTempDir temp;
    std::string logPath = temp / "installation.log";
    std::vector<std::string> proposedNames;
    int prints = 0;
};

TEST_F(FinishPageTest, LogAndReportKeepTheCalibrationsValuesWhenTheLinkIsLostAndBack) {
    CTestUnit& sim = Open();
    EXPECT_EQ(
        SummaryRead(),
        (std::vector<std::string>{
            "Mount direction: Mount Position 9", "Mag Bias X Corr: " + sim.Value("MfcX"),
            "Mag Bias Y Corr: " + sim.Value("MfcY"), "Mag Bias Z Corr: " + sim.Value("MfcZ"),
            "North Compass Corr: 1.25", "South Compass Corr: -0.50", "East Compass Corr: 0.75",
            "West Compass Corr: -2.00", "Magnetic Variance: 3.50", "Latitude: 47.25"}));
    SaveArtifact(wizard, "page-6-finish");

    // The technician unplugs the laptop to print in the office: the record is reset.
    ASSERT_EQ(sim.Command("power off"), "ok power off");
    ASSERT_TRUE(RunEventsUntil([] { return !Link().IsLinkAlive(); }));
    ASSERT_EQ(State().GetMcc(0), 0.0);

    Click("printButton");
    EXPECT_EQ(prints, 1);
    const std::string report =
        CommandOutput("pdftotext -layout '" + temp / "report.pdf" + "' - 2>/dev/null");
    for (const char* shown : {"Compass Correction West:", "-2.00", "1003.00", "47.25", "3.50"}) {
        EXPECT_NE(report.find(shown), std::string::npos) << shown << " in: " << report;
    }

    Next();
    ASSERT_EQ(wizard.CurrentPage(), kVerifyPage);
    ASSERT_EQ(proposedNames.size(), 1u);
    EXPECT_EQ(proposedNames[0].rfind("Korvan HX410 AHRS Installation Report - N410KT ", 0), 0u);
    const std::string log = ReadText(logPath);
    for (const char* line :
         {"Compass Correction North: 1.25\n", "Compass Correction West: -2.00\n",
          "Magnetic Variance: 3.50\nLatitude: 47.25\n", "Raw X Sensor East: 1002.00\n",
          "Mount Position: Mount Position 9\n"}) {
        EXPECT_NE(log.find(line), std::string::npos) << line;
    }
    std::ofstream(std::string(HX410_ARTIFACTS_DIR) + "/installation.log") << log;

    // The unit back before the technician returns here: the calibration's values stand.
    ASSERT_EQ(sim.Command("power on"), "ok power on");
    ASSERT_TRUE(RunEventsUntil([] { return Link().IsLinkAlive(); }));
    Back();
    ASSERT_EQ(wizard.CurrentPage(), kFinishPage);
    Next();
    const std::string second = ReadText(logPath).substr(log.size());
    const auto afterDate = [](const std::string& text) {
        return text.substr(text.find("HX410 Serial"));
    };
    EXPECT_EQ(afterDate(second), afterDate(log));

    // The next aircraft: same installer and shop, a new tail number.
    EXPECT_EQ(ReadText(CIdentificationFile::Path()), "\nA. Tech\nKorvan Avionics\n");
}

// Files that cannot be written are said with path and reason; a cancel is silent.
TEST_F(FinishPageTest, AFileThatCannotBeWrittenIsReportedAndCanBeSavedAgain) {
    Open();
    const std::string identification = CIdentificationFile::Path();
    const struct {
        std::string log; // the save dialog's answer, empty when cancelled
        rlim_t sizeLimit;
        const char* caption; // of the box, or none
        int error;
    } cases[] = {
        {temp / "no-such-folder/installation.log", RLIM_INFINITY, "Error saving installation log",
         ENOENT},
        {"", RLIM_INFINITY, nullptr, 0},
        {"", 0, "Error saving identification", EFBIG},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.log + " " + std::to_string(c.sizeLimit));
        ASSERT_TRUE(CIdentificationFile::Write(identification, {"N77", "A. Tech", "Shop"}));
        GoTo(kFinishPage);
        logPath = c.log;
        const CBoxAnswerer answerer(QMessageBox::Ok);
        {
            const CFileSizeLimit limit(c.sizeLimit);
            Next();
        }
        EXPECT_EQ(wizard.CurrentPage(), kVerifyPage);
        EXPECT_EQ(answerer.Boxes().size(), c.caption != nullptr ? 1u : 0u);
        if (c.caption != nullptr) {
            EXPECT_TRUE(
                OneBox(answerer.Boxes(), c.caption, c.log.empty() ? identification : c.log));
            EXPECT_TRUE(
                OneBox(answerer.Boxes(), c.caption, std::generic_category().message(c.error)));
        }
    }
    EXPECT_EQ(ReadText(identification), "N77\nA. Tech\nShop\n") << "kept when not written";
}
