// The finish page against the simulated unit.
#include "SimulatedLinkSuite.h"
#include "wizard/IdentificationFile.h"
#include "wizard/pages/FinishPage.h"

#include <QPrinter>

#include <fstream>

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
    const CTempDir temp;
    std::string logPath = temp / "installation.log";
    std::vector<std::string> proposedNames;
    int prints = 0;
};

TEST_F(FinishPageTest, LogAndReportKeepTheCalibrationsValuesWhenTheLinkIsLostAndBack) {
    CTestUnit& sim = Open();
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

// A log that cannot be written is reported with its path and the system's reason; the
// wizard goes on to the verification page as after a cancelled save.
TEST_F(FinishPageTest, ALogThatCannotBeWrittenIsReported) {
    Open();
    logPath = temp / "no-such-folder/installation.log";
    const CBoxAnswerer answerer(QMessageBox::Ok);
    Next();
    EXPECT_EQ(wizard.CurrentPage(), kVerifyPage);
    EXPECT_TRUE(OneBox(answerer.Boxes(), "Error saving installation log", logPath));
    EXPECT_TRUE(OneBox(answerer.Boxes(), "Error saving installation log",
                       std::generic_category().message(ENOENT)));
}
