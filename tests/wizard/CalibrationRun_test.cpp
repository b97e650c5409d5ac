// A whole calibration against the simulated unit: a mount change with its power cycle, the
// coarse and fine steps and the store, with the unit's compass swing before and after
// (kept in artifacts/swing.txt).

#include "SimPagesFixture.h"
#include "controls/ColouredField.h"
#include "records/CalibrationMath.h"
#include "records/MagMeasurementFile.h"

#include <QListWidget>

#include <array>
#include <cstdlib>
#include <fstream>

namespace {

const char kMagSerial[] = "270456"; // the simulated RQ270's
const std::array<std::pair<const char*, double>, 4> kWalk{
    {{"north", 0.0}, {"east", 90.0}, {"south", 180.0}, {"west", 270.0}}};

} // namespace

class CalibrationRunTest : public SimPagesTest {
protected:
    // The simulator's swing listing; its last line is "swing max=<degrees>".
    std::vector<std::string> Swing(CSimPeer& sim) {
        std::vector<std::string> lines;
        EXPECT_TRUE(sim.Send("swing\n"));
        for (std::string line = sim.ReadLine(); !line.empty(); line = sim.ReadLine()) {
            lines.push_back(line);
            if (line.rfind("swing max=", 0) == 0) {
                break;
            }
        }
        return lines;
    }
    static double MaxOf(const std::vector<std::string>& swing) {
        return swing.empty() ? 1e9 : std::strtod(swing.back().c_str() + 10, nullptr);
    }

    // On `page`, each cardinal heading in the walk order: turned there, steady, measured.
    void MeasureCardinals(CSimPeer& sim, int page) {
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
    CSimPeer& sim = Connect({"--mag-serial", kMagSerial, "--heading-noise", "0.005"});
    const CBoxAnswerer answerer(QMessageBox::Ok);

    // The free field of this magnetometer, away from the aircraft, as the first installation
    // stored it (that step has its own tests).
    ASSERT_EQ(sim.Command("freefield on"), "ok freefield on");
    FreeFieldValues freeField;
    int steadyReads = 0;
    ASSERT_TRUE(RunEventsUntil([&] {
        const FreeFieldValues now{static_cast<int16_t>(State().GetAvgCount(0)),
                                  static_cast<int16_t>(State().GetAvgCount(1)),
                                  static_cast<int16_t>(State().GetAvgCount(2))};
        steadyReads = now.x == freeField.x && now.y == freeField.y && now.z == freeField.z
                          ? steadyReads + 1
                          : 0;
        freeField = now;
        return steadyReads > 50 && State().GetAvgCount(2) != 0;
    }));
    ASSERT_TRUE(CMagMeasurementFile(kMagSerial).Write(freeField.x, freeField.y, freeField.z));
    ASSERT_EQ(sim.Command("freefield off"), "ok freefield off");
    const std::vector<std::string> before = Swing(sim);

    // The calibration: the measurement is found, so Calibrate leads to the mount page.
    wizard.GoToPage(kConnectionPage);
    ASSERT_TRUE(WaitConnected());
    ASSERT_TRUE(GoOnBy("calibrateButton", kMountPage));
    auto* list = Find<QListWidget>("mountList");
    list->setCurrentItem(list->findItems("Mount Position 11", Qt::MatchExactly).value(0));
    Find<QPushButton>("changeMountButton")->click();
    ASSERT_EQ(sim.Command("power off"), "ok power off");
    ASSERT_TRUE(RunEventsUntil([] { return !CAhrsLink::Instance().IsLinkAlive(); }));
    ASSERT_EQ(sim.Command("power on"), "ok power on");
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kCoarsePage; }));
    EXPECT_EQ(SimValue(sim, "Mount"), "11");

    MeasureCardinals(sim, kCoarsePage);
    ASSERT_TRUE(RunEventsUntil([&] { return WizardButtons() & IWizardFrame::kNext; }));
    const auto coarse = ComputeCoarseCorrections(RecordedHeadings(), freeField.z).correction;
    wizard.PressNext();
    ASSERT_EQ(wizard.CurrentPage(), kFinePage);
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_EQ(SimValue(sim, std::string("Mfc") + "XYZ"[axis]), std::to_string(coarse[axis]));
    }

    MeasureCardinals(sim, kFinePage);
    SaveArtifact(wizard, "page-5-fine-measured");
    std::array<double, 4> errors{};
    for (int i = 0; i < 4; ++i) {
        errors[i] = State().GetFineHeading(i);
    }
    const std::array<double, 4> fine = ComputeCompassCorrections(errors);
    Find<QPushButton>("storeButton")->click();
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kFinishPage; }));
    const char* const mccNames[] = {"StoredMccN", "StoredMccS", "StoredMccE", "StoredMccW"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(std::stod(SimValue(sim, mccNames[i])), fine[i], 0.005) << mccNames[i];
    }
    for (const auto& box : answerer.Boxes()) {
        ADD_FAILURE() << box.caption << ": " << box.text;
    }

    const std::vector<std::string> after = Swing(sim);
    std::ofstream swing(std::string(HX410_ARTIFACTS_DIR) + "/swing.txt");
    for (const std::string& line : after) {
        swing << line << '\n';
    }
    swing << "swing before " << before.back().substr(6) << '\n';
    EXPECT_GT(MaxOf(before), 2.0);
    EXPECT_LT(MaxOf(after), 0.5);
}
