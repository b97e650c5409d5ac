#include "SimulatedLinkSuite.h"

#include <QProgressBar>

#include <sys/stat.h>

namespace {

const char* const kMagSerial = "270456";

} // namespace

class FreeFieldPageTest : public SimPagesTest {
protected:
    // Collecting on the free-field page of a magnetometer without a measurement.
    void StartCollecting() {
        ASSERT_TRUE(Ok(Connect({"--mag-serial", kMagSerial}).Command("freefield on")));
        ASSERT_TRUE(GoOnBy("preCalButton", kFreeFieldPage));
        Click("executeButton");
    }
    // Collected: the result is shown and Finish is the one wizard button.
    void Collect() {
        StartCollecting();
        ASSERT_TRUE(RunEventsUntil([&] { return WizardButtons() == IWizardFrame::kFinish; }));
    }
    std::string MeasurementPath() {
        return directory / ("mag_sn_" + std::string(kMagSerial) + ".txt");
    }
    // The file holding the values the page shows.
    std::string ShownFile() {
        return "OUT_X: " + Text("freeFieldXField") + "\nOUT_Y: " + Text("freeFieldYField") +
               "\nOUT_Z: " + Text("freeFieldZField") + "\n";
    }
};

// A collection shows its progress, and Finish stores what the page shows.
TEST_F(FreeFieldPageTest, ACollectionShowsItsProgressAndIsStored) {
    const CBoxAnswerer answerer(QMessageBox::Ok);
    StartCollecting();
    QProgressBar* bar = nullptr;
    ASSERT_TRUE(RunEventsUntil([&] {
        QWidget* box = BusyWindow();
        bar = box != nullptr ? box->findChild<QProgressBar*>("busyProgressBar") : nullptr;
        return bar != nullptr && bar->isVisible() && bar->value() >= 3;
    }));
    EXPECT_EQ(bar->maximum(), 10);
    SaveArtifact(*BusyWindow(), "busy-box-collecting");
    EXPECT_FALSE(Shown("finishNote"));

    ASSERT_TRUE(RunEventsUntil([&] { return WizardButtons() == IWizardFrame::kFinish; }));
    EXPECT_EQ(BusyWindow(), nullptr);
    EXPECT_TRUE(Shown("finishNote"));
    EXPECT_NE(Text("freeFieldZField"), "");
    SaveArtifact(wizard, "page-2-free-field");

    const std::string expected = ShownFile();
    Click("finishButton");
    ASSERT_TRUE(RunEventsUntil([&] { return !wizard.isVisible(); }));
    EXPECT_EQ(wizard.result(), CInstallationWizard::kResultFinished);
    EXPECT_EQ(ReadText(MeasurementPath()), expected);
    EXPECT_TRUE(answerer.Boxes().empty());
}

// A failed store (a folder in the file's place) is reported with its path and reason; once
// the cause is gone it works.
TEST_F(FreeFieldPageTest, AFailedSaveIsReportedAndCanBeRepeated) {
    Collect();
    const std::string file = MeasurementPath();
    ASSERT_EQ(::mkdir(file.c_str(), 0755), 0);
    const auto boxes = BoxesOf([&] { Click("finishButton"); });
    EXPECT_TRUE(OneBox(boxes, "Error saving free field measurement", file));
    EXPECT_TRUE(OneBox(boxes, "Error saving free field measurement", "Is a directory"));
    EXPECT_EQ(wizard.CurrentPage(), kFreeFieldPage);
    EXPECT_EQ(WizardButtons(), IWizardFrame::kFinish);
    ::rmdir(file.c_str());
    const std::string expected = ShownFile();
    Click("finishButton");
    ASSERT_TRUE(RunEventsUntil([&] { return !wizard.isVisible(); }));
    EXPECT_EQ(ReadText(file), expected);
}
