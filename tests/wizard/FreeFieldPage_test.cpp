#include "SimulatedLinkSuite.h"

#include "records/MagSampleSet.h"
#include "wizard/BusyBox.h"

#include <QProgressBar>

#include <sys/stat.h>

namespace {

const char* const kMagSerial = "270456";

} // namespace

class FreeFieldPageTest : public SimPagesTest {
protected:
    // On the free-field page of a magnetometer without a measurement, collecting.
    CTestUnit& StartCollection() {
        CTestUnit& sim = Connect({"--mag-serial", kMagSerial});
        EXPECT_TRUE(Ok(sim.Command("freefield on")));
        EXPECT_TRUE(GoOnBy("preCalButton", kFreeFieldPage));
        Click("executeButton");
        WatchSamples();
        return sim;
    }
    // Each step of the progress bar is a sample of the counts the page shows at that tick.
    void WatchSamples() {
        seen.Clear();
        QWidget* box = BusyWindow();
        ASSERT_NE(box, nullptr);
        QObject::connect(box->findChild<QProgressBar*>("busyProgressBar"),
                         &QProgressBar::valueChanged, box, [this](int done) {
                             if (done > 0) {
                                 const auto count = [this](const char* name) {
                                     return static_cast<int16_t>(std::stoi(Text(name)));
                                 };
                                 seen.Add(count("countXField"), count("countYField"),
                                          count("countZField"), 0, 0, 0.0, 0.0);
                             }
                         });
    }
    // Collected: the result is shown and Finish is the one wizard button.
    void Collect() {
        StartCollection();
        ASSERT_TRUE(RunEventsUntil([&] { return WizardButtons() == IWizardFrame::kFinish; }));
    }
    std::string MeasurementPath() {
        return directory / ("mag_sn_" + std::string(kMagSerial) + ".txt");
    }
    // The file the arithmetic gives for the samples the page took.
    std::string ExpectedFile() {
        EXPECT_EQ(seen.Size(), 10u);
        const FreeFieldValues means = ComputeFreeField(seen);
        return "OUT_X: " + std::to_string(means.x) + "\nOUT_Y: " + std::to_string(means.y) +
               "\nOUT_Z: " + std::to_string(means.z) + "\n";
    }
    CMagSampleSet seen;
};

// A collection on a garbled line is refused; a clean one shows its progress and is stored.
TEST_F(FreeFieldPageTest, ACollectionOnAGarbledLineIsRefusedAndACleanOneIsStored) {
    std::optional<CBoxAnswerer> answerer(std::in_place, QMessageBox::Ok);
    CTestUnit& sim = Connect({"--mag-serial", kMagSerial});
    ASSERT_TRUE(Ok(sim.Command("freefield on")));
    ASSERT_TRUE(GoOnBy("preCalButton", kFreeFieldPage));
    ASSERT_TRUE(Ok(sim.Command("fault garble 0.05")));
    int lucky = 0; // collections that met no changed count
    for (int attempt = 0; attempt < 5 && answerer->Boxes().empty(); ++attempt) {
        Click("executeButton");
        ASSERT_NE(BusyWindow(), nullptr);
        ASSERT_TRUE(RunEventsUntil([] { return BusyWindow() == nullptr; }));
        // A refused collection is told by the tick that ended it, in that tick's step.
        ASSERT_TRUE(StepsEnded(wizard));
        lucky += answerer->Boxes().empty() ? 1 : 0;
    }
    ASSERT_EQ(answerer->Boxes().size(), 1u);
    EXPECT_EQ(answerer->Boxes()[0].caption, "Readings not steady");
    if (lucky == 0) {
        EXPECT_EQ(Text("freeFieldXField"), "");
        EXPECT_EQ(WizardButtons(), 0);
    }
    ASSERT_TRUE(Ok(sim.Command("fault garble 0")));
    answerer.emplace(QMessageBox::Ok);
    Click("executeButton");
    WatchSamples();
    QProgressBar* bar = nullptr;
    ASSERT_TRUE(RunEventsUntil([&] {
        QWidget* box = BusyWindow();
        bar = box != nullptr ? box->findChild<QProgressBar*>("busyProgressBar") : nullptr;
        return bar != nullptr && bar->isVisible() && bar->value() >= 3;
    }));
    EXPECT_EQ(bar->maximum(), 10);
    EXPECT_EQ(BusyWindow()->accessibleName(), "Collecting Free Field Data...");
    SaveArtifact(*BusyWindow(), "busy-box-collecting");
    EXPECT_FALSE(Shown("finishNote"));

    ASSERT_TRUE(RunEventsUntil([&] { return WizardButtons() == IWizardFrame::kFinish; }));
    EXPECT_EQ(BusyWindow(), nullptr);
    EXPECT_TRUE(Shown("finishNote"));
    const FreeFieldValues means = ComputeFreeField(seen);
    EXPECT_EQ(Text("freeFieldXField"), std::to_string(means.x));
    EXPECT_EQ(Text("freeFieldYField"), std::to_string(means.y));
    EXPECT_EQ(Text("freeFieldZField"), std::to_string(means.z));
    SaveArtifact(wizard, "page-2-free-field");

    const std::string expected = ExpectedFile();
    const CBusyTextRecorder saving; // the box shown while Finish saves
    Click("finishButton");
    ASSERT_TRUE(RunEventsUntil([&] { return !wizard.isVisible(); }));
    EXPECT_EQ(wizard.result(), CInstallationWizard::kResultFinished);
    EXPECT_EQ(ReadText(MeasurementPath()), expected);
    EXPECT_EQ(saving.Texts(), std::vector<std::string>{"Saving free-field values to file..."});
    EXPECT_TRUE(answerer->Boxes().empty());
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
    const std::string expected = ExpectedFile();
    Click("finishButton");
    ASSERT_TRUE(RunEventsUntil([&] { return !wizard.isVisible(); }));
    EXPECT_EQ(ReadText(file), expected);
}

// A collection ends when the page is left or the unit goes silent: nothing of it is left.
TEST_F(FreeFieldPageTest, LeavingMidCollectionDiscardsIt) {
    struct Way {
        const char* name;
        std::function<void(CTestUnit&)> leave;
        const char* restore; // a control command, or none
    };
    const std::vector<Way> ways = {
        {"page left", [&](CTestUnit&) { wizard.GoToPage(kConnectionPage); }, nullptr},
        {"link lost", [](CTestUnit& sim) { EXPECT_TRUE(Ok(sim.Command("power off"))); },
         "power on"},
    };
    CTestUnit& sim = StartCollection();
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        ASSERT_TRUE(RunEventsUntil([] { return BusyWindow() != nullptr; }));
        const CBoxAnswerer answerer(QMessageBox::Ok);
        way.leave(sim);
        ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kConnectionPage; }));
        EXPECT_EQ(BusyWindow(), nullptr);
        if (way.restore != nullptr) {
            EXPECT_TRUE(Ok(sim.Command(way.restore)));
        }
        ASSERT_TRUE(WaitConnected());
        ASSERT_TRUE(GoOnBy("preCalButton", kFreeFieldPage));
        ASSERT_TRUE(RunEventsUntil([&] { return Usable("executeButton"); }));
        EXPECT_EQ(BusyWindow(), nullptr);
        EXPECT_EQ(Text("freeFieldXField"), "");
        EXPECT_EQ(WizardButtons(), 0);
        Click("executeButton");
    }
}
