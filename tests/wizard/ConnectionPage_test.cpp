#include "SimWizardFixture.h"

#include "records/MagMeasurementFile.h"

#include <QComboBox>
#include <QRadioButton>

#include <functional>
#include <set>

namespace {

const char kMagSerial[] = "RQ-7788";
const char kMagVersion[] = "RQ270 V2.10";
const char kNoMagnetometer[] = "RQ270 is not communicating with the HX410.  Please connect the "
                               "RQ270.";

class ConnectionPageTest : public SimWizardTest {
protected:
    // Processes events for `programMs` of the program's time, calling `watch` between them.
    static void RunFor(double programMs, const std::function<void()>& watch) {
        const CTimeBase time(kScale);
        const double until = time.NowMs() + programMs;
        EXPECT_TRUE(RunEventsUntil([&] {
            watch();
            return time.NowMs() >= until;
        }));
    }
};

TEST_F(ConnectionPageTest, ShowsBothVersionsAndTheOptionsOfTheVersionClass) {
    CTestUnit& sim = StartSim();
    wizard.GoToPage(kConnectionPage);
    EXPECT_TRUE(StepsEnded(wizard));
    ASSERT_TRUE(RunEventsUntil([&] {
        return ConnectedTo("HX410 V1.62") && Text("magVersionField") == kMagVersion &&
               Usable("preCalButton");
    }));
    SaveArtifact(wizard, "page-1-connected");

    struct Case {
        std::string version;
        bool selectableSpeed; // the radios enabled, the hardware note hidden
        bool maintenanceWord;
        bool mountPending; // classes 0 to 2 go to the mount page after the free-field step
    };
    const std::vector<Case> cases{
        {"HX410 V1.45", false, true, false}, {"HX410 V1.55", true, true, false},
        {"HX410 V1.25", false, true, true},  {"1.10", false, false, true},
        {"1.00", false, false, true},        {"HX410 V1.62", true, true, false},
    };
    auto* high = Find<QRadioButton>("highSpeedRadio");
    auto* low = Find<QRadioButton>("lowSpeedRadio");
    // The installer picks High: the unit stores it and reports it from then on.
    high->click();
    ASSERT_TRUE(RunEventsUntil([&] { return high->isEnabled() && high->isChecked(); }));
    EXPECT_EQ(sim.Value("StoredA429Speed"), "1.0");
    for (const Case& c : cases) {
        ASSERT_EQ(sim.Command("fault version " + c.version), "ok fault version " + c.version);
        ASSERT_TRUE(RunEventsUntil([&] { return State().GetAhrsVersion() == c.version; }));
        Session().SetPendingPage(-1);
        wizard.GoToPage(kConnectionPage); // opens the port again
        ASSERT_TRUE(RunEventsUntil([&] {
            return ConnectedTo(c.version) && high->isEnabled() == c.selectableSpeed &&
                   Shown("maintenanceWordCheck") == c.maintenanceWord &&
                   Find<QPushButton>("verifyOnlyButton")->isEnabled();
        })) << c.version;
        EXPECT_EQ(Text("magVersionField"), kMagVersion) << c.version;
        EXPECT_TRUE(high->isVisible() && low->isVisible()) << c.version;
        EXPECT_EQ(low->isEnabled(), c.selectableSpeed) << c.version;
        EXPECT_EQ(Shown("speedNote"), !c.selectableSpeed) << c.version;
        EXPECT_EQ(high->isChecked(), c.selectableSpeed) << c.version << ": Low when fixed";
        EXPECT_EQ(Shown("diagnosticNote"), c.maintenanceWord) << c.version;
        EXPECT_EQ(Shown("calibrateButton"), c.mountPending) << c.version;
        EXPECT_EQ(Shown("preCalButton"), !c.mountPending) << c.version;
        EXPECT_EQ(Session().PeekPendingPage() == kMountPage, c.mountPending) << c.version;
    }
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(ConnectionPageTest, ClearPreCalArchivesTheMeasurementUnderTheFirstFreeNumber) {
    StartSim({"--mag-serial", kMagSerial});
    const CMagMeasurementFile measurement(kMagSerial);
    wizard.GoToPage(kConnectionPage);
    EXPECT_TRUE(StepsEnded(wizard));
    ASSERT_TRUE(RunEventsUntil([&] { return ConnectedTo("HX410 V1.62"); }));
    ASSERT_TRUE(RunEventsUntil([&] { return Usable("preCalButton"); }));
    EXPECT_FALSE(Shown("calibrateButton"));
    EXPECT_FALSE(Shown("clearPreCalButton"));

    ASSERT_TRUE(measurement.Write(11, -22, 33));
    ASSERT_TRUE(RunEventsUntil([&] { return Usable("calibrateButton"); })) << "on the next tick";
    EXPECT_FALSE(Shown("preCalButton"));
    EXPECT_TRUE(Shown("clearNote"));
    SaveArtifact(wizard, "page-1-calibrate");
    AnswerBoxesWith(QMessageBox::Cancel);
    Find<QPushButton>("clearPreCalButton")->click();
    EXPECT_TRUE(StepsEnded(wizard));
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].caption, "Clear Free Field Measurement");
    EXPECT_TRUE(measurement.Exists()) << "Cancel leaves the measurement alone";
    for (const unsigned archive : {0u, 1u}) {
        ASSERT_TRUE(measurement.Write(11, -22, static_cast<int16_t>(archive)));
        ASSERT_TRUE(RunEventsUntil([&] { return Usable("clearPreCalButton"); }));
        const std::string contents = ReadText(measurement.Path());
        AnswerBoxesWith(QMessageBox::Ok);
        Find<QPushButton>("clearPreCalButton")->click();
        EXPECT_TRUE(StepsEnded(wizard));
        EXPECT_FALSE(measurement.Exists()) << archive;
        EXPECT_EQ(ReadText(directory / ("mag_sn_" + std::string(kMagSerial) + "_" +
                                        std::to_string(archive) + ".txt")),
                  contents)
            << archive;
        EXPECT_TRUE(Shown("preCalButton")) << archive;
        EXPECT_FALSE(Shown("calibrateButton") || Shown("clearPreCalButton")) << archive;
    }
}

TEST_F(ConnectionPageTest, GoingOnNeedsTheMagnetometer) {
    CTestUnit& sim = StartSim({"--mag-serial", kMagSerial});
    ASSERT_TRUE(CMagMeasurementFile(kMagSerial).Write(1, 2, 3));
    // The serial number is kept when the magnetometer stops answering: its file decides
    // between Calibrate and Pre-Cal.
    wizard.GoToPage(kConnectionPage);
    EXPECT_TRUE(StepsEnded(wizard));
    ASSERT_TRUE(RunEventsUntil([] { return State().GetMagSerialNumber() == kMagSerial; }));
    struct Case {
        const char* button;
        bool magnetometer;
        int page;
    };
    const std::vector<Case> cases{
        {"calibrateButton", false, kConnectionPage},
        {"verifyOnlyButton", false, kConnectionPage},
        {"verifyOnlyButton", true, kVerifyPage},
        {"calibrateButton", true, kFreeFieldPage},
    };
    auto* finish = Find<QPushButton>("finishButton");
    for (const Case& c : cases) {
        const std::string what = std::string(c.button) + (c.magnetometer ? " with" : " without");
        sim.Command(c.magnetometer ? "mag on" : "mag off");
        wizard.GoToPage(kConnectionPage);
        EXPECT_TRUE(StepsEnded(wizard));
        ASSERT_TRUE(RunEventsUntil([&] {
            const std::string mag = Text("magVersionField");
            return ConnectedTo("HX410 V1.62") && Usable(c.button) &&
                   (c.magnetometer ? mag == kMagVersion : mag.find("-----") == 0);
        })) << what;
        AnswerBoxesWith(QMessageBox::Ok);
        Find<QPushButton>(c.button)->click();
        EXPECT_TRUE(StepsEnded(wizard));
        EXPECT_EQ(wizard.CurrentPage(), c.page) << what;
        ASSERT_EQ(Boxes().size(), c.magnetometer ? 0u : 1u) << what;
        if (!c.magnetometer) {
            EXPECT_EQ(Boxes()[0].text, kNoMagnetometer);
            EXPECT_EQ(Boxes()[0].caption, "Error communicating with RQ270");
        }
        if (c.page == kVerifyPage) {
            EXPECT_TRUE(finish->isVisible() && finish->isEnabled());
            EXPECT_FALSE(Find<QPushButton>("backButton")->isEnabled());
            EXPECT_FALSE(Find<QPushButton>("nextButton")->isEnabled());
        }
    }
}

// Nothing goes on before the unit has shown its ARINC setting, also right after the port
// opens again with the buttons enabled from before. Clear Pre-Cal shows only while connected
// to a class with a free-field step.
TEST_F(ConnectionPageTest, GoingOnWaitsForTheArincSettingAndClearPreCalForItsClass) {
    CTestUnit& sim = StartSim({"--mag-serial", kMagSerial});
    ASSERT_TRUE(CMagMeasurementFile(kMagSerial).Write(1, 2, 3));
    wizard.GoToPage(kConnectionPage);
    EXPECT_TRUE(StepsEnded(wizard));
    ASSERT_TRUE(RunEventsUntil([&] {
        return ConnectedTo("HX410 V1.62") && Usable("calibrateButton") &&
               Shown("clearPreCalButton") && Shown("clearNote");
    }));
    // The unit goes and comes back: the record starts again, without the setting.
    ASSERT_EQ(sim.Command("fault hide ARINC"), "ok fault hide ARINC");
    ASSERT_EQ(sim.Command("power off"), "ok power off");
    ASSERT_TRUE(RunEventsUntil([&] { return Text("statusField") == "Not Connected"; }));
    ASSERT_EQ(sim.Command("power on"), "ok power on");
    ASSERT_TRUE(RunEventsUntil([&] { return ConnectedTo("HX410 V1.62"); }));
    ASSERT_EQ(State().GetArincOutput(), -1.0);
    for (const char* button : {"calibrateButton", "verifyOnlyButton"}) {
        EXPECT_FALSE(Find<QPushButton>(button)->isEnabled()) << button;
    }
    ASSERT_EQ(sim.Command("fault hide off"), "ok fault hide off");
    EXPECT_TRUE(RunEventsUntil([&] { return Usable("calibrateButton"); }));

    ASSERT_EQ(sim.Command("fault version HX410 V1.25"), "ok fault version HX410 V1.25");
    EXPECT_TRUE(RunEventsUntil([&] {
        return ConnectedTo("HX410 V1.25") && !Shown("clearPreCalButton") && !Shown("clearNote");
    }));
    ASSERT_EQ(sim.Command("fault version"), "ok fault version ");
    ASSERT_TRUE(RunEventsUntil([&] { return Shown("clearPreCalButton"); }));
    ASSERT_EQ(sim.Command("power off"), "ok power off");
    EXPECT_TRUE(RunEventsUntil([&] {
        return Text("statusField") == "Not Connected" && !Shown("clearPreCalButton") &&
               !Shown("clearNote");
    }));
}

// The unit goes silent while the corrections of before the calibration are written back:
// the box about the restore is answered only once the loss is known, and the page then
// shows the lost link instead of going on with a unit that is gone.
TEST_F(ConnectionPageTest, ALinkLostWhileRestoringIsSeenWhenTheRestoreEnds) {
    CTestUnit& sim = StartSim();
    wizard.GoToPage(kConnectionPage);
    EXPECT_TRUE(StepsEnded(wizard));
    ASSERT_TRUE(RunEventsUntil([&] { return ConnectedTo("HX410 V1.62"); }));
    Session().KeepEarlierCorrections(State().GetAhrsSerialNumber(), {{}, {1.25, -0.5, 0.75, -2.0}});
    Session().SetRestoreDue(true);
    ASSERT_EQ(sim.Command("fault ignore MCC"), "ok fault ignore MCC");
    answerer.reset();
    std::vector<std::string> captions;
    QTimer answerOnceLost;
    QObject::connect(&answerOnceLost, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr && box->isVisible() && !Link().IsLinkAlive()) {
            captions.push_back(box->windowTitle().toStdString());
            box->button(QMessageBox::Ok)->click();
        }
    });
    answerOnceLost.start(5);
    auto* ports = Find<QComboBox>("portList");
    emit ports->activated(ports->currentIndex()); // refreshes, and restores
    // The restore has begun and waits for the first echo: the unit goes silent meanwhile.
    EXPECT_EQ(sim.Command("power off"), "ok power off");
    EXPECT_TRUE(StepsEnded(wizard));
    EXPECT_EQ(captions, std::vector<std::string>{"Error restoring compass corrections"});
    EXPECT_EQ(Text("statusField"), "Not Connected");
    EXPECT_TRUE(Session().RestoreDueFor(State().GetAhrsSerialNumber()))
        << "tried again when the unit is back";
}

TEST_F(ConnectionPageTest, ChoosingAnotherPortDisconnectsAtOnceAndGoingOnSavesIt) {
    const int first = StartSim().ComNumber();
    const int second = StartSim({"--ahrs-version", "HX410 V1.45"}).ComNumber();
    Settings().Set("ComPort", first);
    wizard.GoToPage(kConnectionPage);
    EXPECT_TRUE(StepsEnded(wizard));
    ASSERT_TRUE(RunEventsUntil([&] { return ConnectedTo("HX410 V1.62"); }));

    auto* ports = Find<QComboBox>("portList");
    const int index = ports->findData(second);
    ASSERT_GE(index, 0);
    ports->setCurrentIndex(index);
    emit ports->activated(index);
    EXPECT_EQ(Text("statusField"), "Not Connected");
    EXPECT_FALSE(Shown("ahrsVersionField"));
    SaveArtifact(wizard, "page-1-not-connected");

    ASSERT_TRUE(RunEventsUntil([&] {
        return ConnectedTo("HX410 V1.45") && Text("magVersionField") == kMagVersion &&
               Usable("preCalButton");
    }));
    EXPECT_EQ(Settings().Get("ComPort", 0), first) << "a choice alone is not remembered";
    Find<QPushButton>("preCalButton")->click();
    EXPECT_EQ(wizard.CurrentPage(), kFreeFieldPage);
    EXPECT_EQ(Settings().Get("ComPort", 0), second);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(ConnectionPageTest, AnEmptyTailNumberSendsTheInstallerBackToTheWelcomePage) {
    auto* next = Find<QPushButton>("nextButton");
    for (const bool onTick : {false, true}) {
        Session().SetTailNumber(onTick ? "N410KT" : "");
        wizard.SetWizardButtons(0);
        wizard.GoToPage(kConnectionPage);
        EXPECT_TRUE(StepsEnded(wizard));
        EXPECT_EQ(wizard.CurrentPage(), onTick ? kConnectionPage : kWelcomePage) << onTick;
        Session().SetTailNumber("");
        ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kWelcomePage; })) << onTick;
        EXPECT_TRUE(next->isEnabled()) << onTick;
        // The installer types there: the welcome page is not activated again under them.
        const int activations = welcome->activations;
        const int ticks = welcome->ticks;
        ASSERT_TRUE(RunEventsUntil([&] {
            return welcome->ticks >= ticks + 3 || welcome->activations != activations;
        })) << onTick;
        EXPECT_EQ(welcome->activations, activations) << onTick;
    }
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(ConnectionPageTest, ALostLinkOnAWatchingPageLeadsBackHereOnceAndReconnects) {
    CTestUnit& sim = StartSim();
    wizard.GoToPage(kConnectionPage);
    EXPECT_TRUE(StepsEnded(wizard));
    ASSERT_TRUE(RunEventsUntil([&] { return ConnectedTo("HX410 V1.62"); }));
    wizard.GoToPage(kCoarsePage);
    EXPECT_TRUE(StepsEnded(wizard));
    ASSERT_EQ(sim.Command("power off"), "ok power off");
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kConnectionPage; }));
    EXPECT_EQ(Text("statusField"), "Not Connected");
    ASSERT_EQ(sim.Command("power on"), "ok power on");
    ASSERT_TRUE(RunEventsUntil([&] { return ConnectedTo("HX410 V1.62"); }))
        << "the page opened the saved port again";
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text,
              "Lost communication with the HX410.  Returning to Comm port selection page.");
}

TEST_F(ConnectionPageTest, APendingMountIsSentOnceTheMagnetometerAnswers) {
    CTestUnit& sim = StartSim();
    const std::string mountBefore = sim.Value("Mount");
    ASSERT_EQ(sim.Command("mag off"), "ok mag off");
    Session().SetSelectedMount(10);
    wizard.GoToPage(kConnectionPage);
    EXPECT_TRUE(StepsEnded(wizard));
    ASSERT_TRUE(RunEventsUntil([&] { return !Boxes().empty(); }));
    EXPECT_EQ(Boxes()[0].caption, "Error communicating with RQ270");
    EXPECT_NE(Boxes()[0].text.find("RQ270"), std::string::npos);
    EXPECT_EQ(sim.Value("StoredMount"), mountBefore) << "no mount without the RQ270";
    EXPECT_EQ(Session().SelectedMount(), 10) << "still pending";
    EXPECT_EQ(wizard.CurrentPage(), kConnectionPage);
    // Without the magnetometer's serial number no measurement file is known: Pre-Cal waits.
    EXPECT_TRUE(RunEventsUntil([&] {
        return ConnectedTo("HX410 V1.62") && Shown("preCalButton") && !Usable("preCalButton");
    }));

    // As the box asks, the same port chosen again once the RQ270 is back: the mount goes.
    ASSERT_EQ(sim.Command("mag on"), "ok mag on");
    ASSERT_TRUE(RunEventsUntil([] { return State().GetMagVersion().rfind("RQ270", 0) == 0; }));
    auto* ports = Find<QComboBox>("portList");
    emit ports->activated(ports->currentIndex());
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kCoarsePage; }));
    EXPECT_TRUE(RunEventsUntil([&] { return sim.Value("StoredMount") == "10"; }));
    EXPECT_EQ(Session().SelectedMount(), 0);

    struct Case {
        std::string version;
        int mount;
        int page; // coarse calibration after a free-field step (class 3 to 7), else fine
    };
    for (const Case& c : {Case{"HX410 V1.62", 10, kCoarsePage}, Case{"1.25", 11, kFinePage}}) {
        ASSERT_EQ(sim.Command("fault version " + c.version), "ok fault version " + c.version);
        ASSERT_TRUE(RunEventsUntil([&] { return State().GetAhrsVersion() == c.version; }));
        Session().SetSelectedMount(c.mount);
        wizard.GoToPage(kConnectionPage);
        EXPECT_TRUE(StepsEnded(wizard));
        ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == c.page; })) << c.version;
        EXPECT_EQ(Session().SelectedMount(), 0) << c.version;
        // "MOUNT" stores the position, "RESET IMU" puts it into use.
        const std::string mount = std::to_string(c.mount);
        EXPECT_TRUE(RunEventsUntil([&] { return sim.Value("Mount") == mount; })) << c.version;
        EXPECT_EQ(sim.Value("StoredMount"), mount) << c.version;
    }

    // A mount change across a power cycle on a line too noisy for any version to be taken:
    // the mount waits instead of going on as for an older version, then goes on to the
    // page of the unit's real version once the line is clean.
    ASSERT_EQ(sim.Command("fault version HX410 V1.62"), "ok fault version HX410 V1.62");
    wizard.GoToPage(kConnectionPage);
    EXPECT_TRUE(StepsEnded(wizard));
    ASSERT_TRUE(RunEventsUntil([&] { return ConnectedTo("HX410 V1.62"); }));
    Session().SetSelectedMount(9);
    ASSERT_EQ(sim.Command("power off"), "ok power off");
    ASSERT_TRUE(RunEventsUntil([&] { return Text("statusField") == "Not Connected"; }));
    ASSERT_EQ(sim.Command("fault garble 0.30"), "ok fault garble 0.30");
    ASSERT_EQ(sim.Command("power on"), "ok power on");
    ASSERT_TRUE(RunEventsUntil([&] { return Text("statusField") == "Connected"; }));
    std::set<std::string> shown;
    RunFor(10000, [&] {
        if (Shown("ahrsVersionField")) {
            shown.insert(Text("ahrsVersionField"));
        }
    });
    EXPECT_EQ(shown, std::set<std::string>{""});
    EXPECT_EQ(wizard.CurrentPage(), kConnectionPage);
    EXPECT_EQ(Session().SelectedMount(), 9) << "still pending";
    EXPECT_EQ(sim.Value("StoredMount"), "11");
    ASSERT_EQ(sim.Command("fault garble 0"), "ok fault garble 0");
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kCoarsePage; }));
    EXPECT_TRUE(RunEventsUntil([&] { return sim.Value("Mount") == "9"; }));
    EXPECT_EQ(Boxes().size(), 1u);
}

// A fifth of the unit's bytes corrupted: the fields keep the versions the unit reported
// before, and corrupted version reports never end the program as an unknown version.
TEST_F(ConnectionPageTest, ANoisyLineKeepsTheVersionsTheUnitReported) {
    CTestUnit& sim = StartSim();
    wizard.GoToPage(kConnectionPage);
    EXPECT_TRUE(StepsEnded(wizard));
    ASSERT_TRUE(RunEventsUntil(
        [&] { return ConnectedTo("HX410 V1.62") && Text("magVersionField") == kMagVersion; }));
    ASSERT_EQ(sim.Command("fault garble 0.20"), "ok fault garble 0.20");
    std::set<std::string> shown;
    std::set<std::string> reported;
    RunFor(30000, [&] {
        shown.insert(Text("ahrsVersionField") + " / " + Text("magVersionField"));
        reported.insert(State().GetReportedAhrsVersion());
    });
    EXPECT_EQ(shown, std::set<std::string>{"HX410 V1.62 / " + std::string(kMagVersion)});
    EXPECT_GT(reported.size(), 1u) << "corrupted versions arrived";
    EXPECT_TRUE(wizard.isVisible());
    EXPECT_TRUE(Boxes().empty());
}

} // namespace
