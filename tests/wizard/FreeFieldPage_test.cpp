#include "SimulatedLinkSuite.h"

#include "records/MagSampleSet.h"
#include "wizard/BusyBox.h"

#include <QProgressBar>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>

namespace {

const char* const kMagSerial = "270456";

// While it lives, the calling thread is held to file permissions even as root (the
// effective capability set loses its override of them).
class CPermissionsEnforced {
public:
    CPermissionsEnforced() {
        if (::syscall(SYS_capget, &header, saved) != 0) {
            return;
        }
        __user_cap_data_struct reduced[2] = {saved[0], saved[1]};
        for (const int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH}) {
            reduced[0].effective &= ~(1u << capability);
        }
        active = ::syscall(SYS_capset, &header, reduced) == 0;
    }
    ~CPermissionsEnforced() {
        if (active) {
            ::syscall(SYS_capset, &header, saved);
        }
    }
    CPermissionsEnforced(const CPermissionsEnforced&) = delete;
    CPermissionsEnforced& operator=(const CPermissionsEnforced&) = delete;

private:
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved[2]{};
    bool active = false;
};

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

// A failed store is reported with its path and reason; once the cause is gone it works.
TEST_F(FreeFieldPageTest, AFailedSaveIsReportedAndCanBeRepeated) {
    struct Cause {
        const char* name;
        std::function<void(const std::string& dir, const std::string& file)> make;
        std::function<void(const std::string& dir, const std::string& file)> undo;
        const char* reason;
    };
    const std::vector<Cause> causes = {
        {"read-only directory", [](auto& dir, auto&) { ::chmod(dir.c_str(), 0555); },
         [](auto& dir, auto&) { ::chmod(dir.c_str(), 0755); }, "Permission denied"},
        {"a folder in the file's place", [](auto&, auto& file) { ::mkdir(file.c_str(), 0755); },
         [](auto&, auto& file) { ::rmdir(file.c_str()); }, "Is a directory"},
    };
    Collect();
    const std::string dir = directory / "";
    const std::string file = MeasurementPath();
    for (const Cause& cause : causes) {
        SCOPED_TRACE(cause.name);
        cause.make(dir, file);
        {
            const CPermissionsEnforced enforced;
            const CBoxAnswerer answerer(QMessageBox::Ok);
            Click("finishButton");
            ASSERT_TRUE(StepsEnded(wizard));
            ASSERT_EQ(answerer.Boxes().size(), 1u);
            EXPECT_NE(answerer.Boxes()[0].text.find(file), std::string::npos);
            EXPECT_NE(answerer.Boxes()[0].text.find(cause.reason), std::string::npos);
        }
        EXPECT_TRUE(wizard.isVisible());
        EXPECT_EQ(wizard.CurrentPage(), kFreeFieldPage);
        EXPECT_EQ(WizardButtons(), IWizardFrame::kFinish);
        cause.undo(dir, file);
    }
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
