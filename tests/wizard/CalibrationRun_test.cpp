// A whole calibration against the simulated unit: a mount change with its power cycle, the
// coarse and fine steps and the store, with the unit's compass swing before and after
// (kept in artifacts/swing.txt).

#include "SimPagesFixture.h"
#include "controls/ColouredField.h"
#include "records/CalibrationMath.h"
#include "records/MagMeasurementFile.h"
#include "wizard/pages/FinishPage.h"

#include <QListWidget>

#include <array>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

const char kMagSerial[] = "270456"; // the simulated RQ270's
const std::array<std::pair<const char*, double>, 4> kWalk{
    {{"north", 0.0}, {"east", 90.0}, {"south", 180.0}, {"west", 270.0}}};

} // namespace

// The whole calibration against hx410-sim over a pseudo-terminal: the real path.
class CalibrationRunTest : public SimPagesTest {
protected:
    CalibrationRunTest() : SimPagesTest(UnitPath::PseudoTerminal) {}

    // The simulator's swing listing; its last line is "swing max=<degrees>".
    static std::vector<std::string> Swing(CTestUnit& sim) {
        return sim.Lines("swing", "swing max=");
    }
    static double MaxOf(const std::vector<std::string>& swing) {
        return swing.empty() ? 1e9 : std::strtod(swing.back().c_str() + 10, nullptr);
    }

    // On `page`, each cardinal heading in the walk order: turned there, steady, measured.
    void MeasureCardinals(CTestUnit& sim, int page) {
        for (const auto& [key, heading] : kWalk) {
            ASSERT_EQ(sim.Command("heading " + std::to_string(heading)).rfind("ok heading", 0), 0u);
            QWidget* pageWidget = wizard.Page(page);
            const QString name = QLatin1String(key);
            auto* frame = pageWidget->findChild<QWidget*>(name + QStringLiteral("Frame"));
            auto* button = pageWidget->findChild<QPushButton*>(name + "CalibrateButton");
            auto* result = pageWidget->findChild<CColouredField*>(name + "ResultField");
            ASSERT_TRUE(RunEventsUntil([&] {
                return frame->property("frameShown").toBool() && button->isEnabled();
            })) << page
                << " " << key;
            button->click();
            ASSERT_TRUE(RunEventsUntil([&] { return result->text() == "OK"; }))
                << page << " " << key;
        }
    }
};

TEST_F(CalibrationRunTest, ACalibrationWithAMountChangeBringsTheSwingBelowHalfADegree) {
    CTestUnit& sim = Connect({"--mag-serial", kMagSerial, "--heading-noise", "0.005"});
    const CBoxAnswerer answerer(QMessageBox::Ok);

    // The free field of this magnetometer, away from the aircraft, as the first installation
    // stored it (that step has its own tests).
    ASSERT_EQ(sim.Command("freefield on"), "ok freefield on");
    ASSERT_TRUE(Link().SelectOutputPage('C')); // the page with the counts
    // The averaged counts have followed once two stretches of ten status lines agree, and
    // hold the field (none before the unit's counts arrive).
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
    wizard.GoToPage(kConnectionPage);
    StepsEnded(wizard);
    ASSERT_TRUE(WaitConnected());
    ASSERT_TRUE(GoOnBy("calibrateButton", kMountPage));
    auto* list = Find<QListWidget>("mountList");
    list->setCurrentItem(list->findItems("Mount Position 11", Qt::MatchExactly).value(0));
    Find<QPushButton>("changeMountButton")->click();
    ASSERT_EQ(sim.Command("power off"), "ok power off");
    ASSERT_TRUE(RunEventsUntil([] { return !Link().IsLinkAlive(); }));
    ASSERT_EQ(sim.Command("power on"), "ok power on");
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kCoarsePage; }));
    EXPECT_EQ(sim.Value("Mount"), "11");

    MeasureCardinals(sim, kCoarsePage);
    ASSERT_TRUE(RunEventsUntil([&] { return WizardButtons() & IWizardFrame::kNext; }));
    const auto coarse = ComputeCoarseCorrections(RecordedHeadings(), freeField.z).correction;
    wizard.PressNext();
    StepsEnded(wizard);
    ASSERT_EQ(wizard.CurrentPage(), kFinePage);
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_EQ(sim.Value(std::string("Mfc") + "XYZ"[axis]), std::to_string(coarse[axis]));
    }

    MeasureCardinals(sim, kFinePage);
    SaveArtifact(wizard, "page-5-fine-measured");
    std::array<double, 4> errors{};
    for (int i = 0; i < 4; ++i) {
        errors[i] = Session().FineError(i);
    }
    const std::array<double, 4> fine = ComputeCompassCorrections(errors);
    Find<QPushButton>("storeButton")->click();
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
    wizard.PressNext();
    StepsEnded(wizard);
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kVerifyPage; }));
    std::ifstream log(logPath);
    const std::string logText((std::istreambuf_iterator<char>(log)),
                              std::istreambuf_iterator<char>());
    EXPECT_NE(logText.find("Compass Correction North: " +
                           QString::number(fine[0], 'f', 2).toStdString() + "\n"),
              std::string::npos)
        << logText;
    EXPECT_NE(logText.find("Sensor Bias X: " + std::to_string(coarse[0]) + "\n"),
              std::string::npos);
    wizard.PressFinish();
    StepsEnded(wizard);
    EXPECT_FALSE(wizard.isVisible());
    EXPECT_EQ(wizard.result(), CInstallationWizard::kResultFinished);
    for (const auto& box : answerer.Boxes()) {
        ADD_FAILURE() << box.caption << ": " << box.text;
    }

    const std::vector<std::string> after = Swing(sim);
    ASSERT_FALSE(after.empty());
    std::ofstream swing(std::string(HX410_ARTIFACTS_DIR) + "/swing.txt");
    for (const std::string& line : after) {
        swing << line << '\n';
    }
    swing << "swing before " << before.back().substr(6) << '\n';
    EXPECT_GT(MaxOf(before), 2.0);
    EXPECT_LT(MaxOf(after), 0.5);
}
