// A whole calibration against hx410-sim over a pseudo-terminal: a mount change, the coarse
// and fine steps and the store, with the swing before and after (artifacts/swing.txt).

#include "SimulatedLinkSuite.h"
#include "records/CompassSwing.h"
#include "records/MagMeasurementFile.h"
#include "wizard/pages/FinishPage.h"
#include "wizard/pages/VerifyPage.h"

#include <QListWidget>
#include <QPrinter>

#include <cmath>
#include <fstream>

namespace {

const char kMagSerial[] = "270456"; // the simulated RQ270's

} // namespace

class CalibrationRunTest : public SimPagesTest {
protected:
    CalibrationRunTest() : SimPagesTest(MakeStandardPage, UnitPath::PseudoTerminal) {}

    // The simulator's swing listing; its last line is "swing max=<degrees>".
    static std::vector<std::string> Swing(CTestUnit& sim) {
        return sim.Lines("swing", "swing max=");
    }
    static double MaxOf(const std::vector<std::string>& swing) {
        return swing.empty() ? 1e9 : std::strtod(swing.back().c_str() + 10, nullptr);
    }

    // Records the twelve lines; each deviation agrees with the simulator's own figure.
    void RecordTheSwing(CTestUnit& sim, const std::vector<std::string>& figures) {
        auto* record = wizard.Page(kVerifyPage)->findChild<QPushButton*>("recordHeadingButton");
        for (int line = 0; line < CCompassSwing::kLineCount; ++line) {
            const int heading = CCompassSwing::LineHeading(line);
            ASSERT_EQ(sim.Command("heading " + std::to_string(heading)).rfind("ok heading", 0), 0u);
            ASSERT_TRUE(Settled(sim)) << heading;
            Click(record);
            ASSERT_TRUE(StepsEnded(wizard));
            const std::optional<double> deviation =
                Session().SwingOf(State().GetAhrsSerialNumber()).DeviationAt(line);
            ASSERT_TRUE(deviation.has_value()) << heading;
            EXPECT_NEAR(*deviation, SimError(figures, heading), 0.15) << heading;
        }
    }
    // The simulator's heading error at `heading` from its swing listing.
    static double SimError(const std::vector<std::string>& figures, int heading) {
        const std::string key = "swing " + std::to_string(heading) + " ";
        for (const std::string& figure : figures) {
            if (figure.rfind(key, 0) == 0) {
                return std::strtod(figure.c_str() + figure.find("error=") + 6, nullptr);
            }
        }
        ADD_FAILURE() << "no swing figure at " << heading;
        return 1e9;
    }
    // Prints the report to artifacts/report.pdf, and its second page (the swing) to a PNG.
    void PrintFromTheVerifyPage() {
        const std::string pdf = std::string(HX410_ARTIFACTS_DIR) + "/report.pdf";
        std::filesystem::remove(pdf);
        auto* verify = static_cast<CVerifyPage*>(wizard.Page(kVerifyPage));
        verify->SetPrinterChooser(
            [pdf](QPrinter& printer, QWidget*, CStepToken) -> QCoro::Task<bool> {
                printer.setOutputFormat(QPrinter::PdfFormat);
                printer.setOutputFileName(QString::fromStdString(pdf));
                co_return true;
            });
        auto* print = verify->findChild<QPushButton*>("swingPrintButton");
        Click(print);
        ASSERT_TRUE(StepsEnded(wizard));
        ASSERT_TRUE(std::filesystem::exists(pdf));
        const std::string text = CommandOutput("pdftotext -f 2 -l 2 '" + pdf + "' - 2>/dev/null");
        EXPECT_NE(text.find("Compass Swing"), std::string::npos) << text;
        EXPECT_NE(text.find("N410KT"), std::string::npos) << text;
        CommandOutput("pdftoppm -f 2 -l 2 -r 100 -png -singlefile '" + pdf + "' '" +
                      std::string(HX410_ARTIFACTS_DIR) + "/report-page-2'");
    }
    // On the page shown, each cardinal heading in the walk order: turned there, measured.
    void MeasureCardinals(CTestUnit& sim) {
        for (const Cardinal& c : kWalk) {
            TurnTo(sim, c);
            Click(Button(c));
            ASSERT_TRUE(RunEventsUntil([&] { return Result(c)->text() == "OK"; })) << c.name;
        }
    }
};

TEST_F(CalibrationRunTest, ACalibrationWithAMountChangeBringsTheSwingBelowHalfADegree) {
    CTestUnit& sim = Connect({"--mag-serial", kMagSerial, "--heading-noise", "0.005"});
    const CBoxAnswerer answerer(QMessageBox::Ok);

    // The free field of this magnetometer, as a first installation stored it.
    ASSERT_EQ(sim.Command("freefield on"), "ok freefield on");
    ASSERT_TRUE(Link().SelectOutputPage('C')); // the page with the counts
    // The averaged counts hold the field once two stretches of ten status lines agree.
    const auto counts = [] {
        return std::array<int16_t, 3>{static_cast<int16_t>(State().GetAvgCount(0)),
                                      static_cast<int16_t>(State().GetAvgCount(1)),
                                      static_cast<int16_t>(State().GetAvgCount(2))};
    };
    std::array<int16_t, 3> previous{};
    std::array<int16_t, 3> now = counts();
    for (int stretch = 0; stretch < 2 || now != previous || now == decltype(now){}; ++stretch) {
        ASSERT_LT(stretch, 100) << "the counts never settle";
        previous = now;
        const std::uint32_t mark = State().GetStatusCount();
        ASSERT_TRUE(RunEventsUntil([&] { return State().GetStatusCount() >= mark + 10; }));
        now = counts();
    }
    const FreeFieldValues freeField{now[0], now[1], now[2]};
    ASSERT_TRUE(CMagMeasurementFile(kMagSerial).Write(freeField.x, freeField.y, freeField.z));
    ASSERT_EQ(sim.Command("freefield off"), "ok freefield off");
    const std::vector<std::string> before = Swing(sim);
    ASSERT_FALSE(before.empty());

    // The calibration: the measurement is found, so Calibrate leads to the mount page.
    GoTo(kConnectionPage);
    ASSERT_TRUE(WaitConnected());
    ASSERT_TRUE(GoOnBy("calibrateButton", kMountPage));
    auto* list = Find<QListWidget>("mountList");
    list->setCurrentItem(list->findItems("Mount Position 11", Qt::MatchExactly).value(0));
    Click("changeMountButton");
    ASSERT_EQ(sim.Command("power off"), "ok power off");
    ASSERT_TRUE(RunEventsUntil([] { return !Link().IsLinkAlive(); }));
    ASSERT_EQ(sim.Command("power on"), "ok power on");
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kCoarsePage; }));
    EXPECT_EQ(sim.Value("Mount"), "11");

    MeasureCardinals(sim);
    ASSERT_TRUE(RunEventsUntil([&] { return WizardButtons() & IWizardFrame::kNext; }));
    const auto coarse = ComputeCoarseCorrections(RecordedHeadings(), freeField.z).correction;
    Next();
    ASSERT_EQ(wizard.CurrentPage(), kFinePage);
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_EQ(sim.Value(std::string("Mfc") + "XYZ"[axis]), std::to_string(coarse[axis]));
    }

    MeasureCardinals(sim);
    SaveArtifact(wizard, "page-5-fine-measured");
    std::array<double, 4> errors{};
    for (int i = 0; i < 4; ++i) {
        errors[i] = Session().FineError(i);
    }
    const std::array<double, 4> fine = ComputeCompassCorrections(errors);
    Click("storeButton");
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kFinishPage; }));
    const char* const mccNames[] = {"StoredMccN", "StoredMccS", "StoredMccE", "StoredMccW"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(std::stod(sim.Value(mccNames[i])), fine[i], 0.005) << mccNames[i];
    }

    // The log of the run, then the verification page, and Finish ends the installation.
    auto* finish = static_cast<CFinishPage*>(wizard.Page(kFinishPage));
    const std::string logPath = directory / "run.log";
    finish->SetLogFileChooser([&](QString, QWidget*, CStepToken) -> QCoro::Task<QString> {
        co_return QString::fromStdString(logPath);
    });
    ASSERT_TRUE(StepsEnded(wizard)); // the page has read the unit's location
    Next();
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kVerifyPage; }));
    const std::string logText = ReadText(logPath);
    EXPECT_NE(logText.find("Compass Correction North: " +
                           QString::number(fine[0], 'f', 2).toStdString() + "\n"),
              std::string::npos)
        << logText;
    EXPECT_NE(logText.find("Sensor Bias X: " + std::to_string(coarse[0]) + "\n"),
              std::string::npos);
    const std::vector<std::string> after = Swing(sim);
    ASSERT_FALSE(after.empty());
    RecordTheSwing(sim, after);
    SaveArtifact(wizard, "page-7-swing");
    PrintFromTheVerifyPage();

    wizard.PressFinish();
    EXPECT_TRUE(StepsEnded(wizard));
    EXPECT_FALSE(wizard.isVisible());
    EXPECT_EQ(wizard.result(), CInstallationWizard::kResultFinished);
    for (const auto& box : answerer.Boxes()) {
        ADD_FAILURE() << box.caption << ": " << box.text;
    }

    // The swing recorded at Finish is in the log the finish page saved, after its lines.
    const std::string withSwing = ReadText(logPath);
    EXPECT_EQ(withSwing.rfind(logText, 0), 0u);
    for (int line = 0; line < CCompassSwing::kLineCount; ++line) {
        const std::string heading =
            QStringLiteral("%1").arg(line * 30, 3, 10, QLatin1Char('0')).toStdString();
        EXPECT_NE(withSwing.find("Compass Swing Heading " + heading + ": ", logText.size()),
                  std::string::npos)
            << heading;
    }
    EXPECT_NE(withSwing.find("Compass Swing Max Deviation: ", logText.size()), std::string::npos);
    std::ofstream(std::string(HX410_ARTIFACTS_DIR) + "/installation-with-swing.log") << withSwing;

    std::ofstream swing(std::string(HX410_ARTIFACTS_DIR) + "/swing.txt");
    for (const std::string& line : after) {
        swing << line << '\n';
    }
    swing << "swing before " << before.back().substr(6) << '\n';
    EXPECT_GT(MaxOf(before), 2.0);
    EXPECT_LT(MaxOf(after), 0.5);
}
