// The connection page against the simulated unit, with stand-ins for the calibration pages.
#include "SimulatedLinkSuite.h"
#include "records/MagMeasurementFile.h"
#include "wizard/pages/PlaceholderPage.h"

#include <QComboBox>
#include <QRadioButton>

#include <set>

namespace {

const char kMagSerial[] = "RQ-7788";

class ConnectionPageTest : public SimPagesTest {
protected:
    ConnectionPageTest()
        : SimPagesTest([](int index, QWidget* parent) -> CWizardPage* {
              return index == kWelcomePage || index == kConnectionPage || index == kVerifyPage
                         ? MakeStandardPage(index, parent)
                         : new CPlaceholderPage(QString::number(index), parent);
          }) {}

    // The unit started with `options`, shown connected.
    CTestUnit& Open(const std::vector<std::string>& options = {}) {
        CTestUnit& sim = StartUnit(options);
        GoTo(kConnectionPage);
        EXPECT_TRUE(RunEventsUntil([&] { return ConnectedTo("HX410 V1.62"); }));
        return sim;
    }
    bool ConnectedTo(const std::string& ahrsVersion) {
        return Text("statusField") == "Connected" && Text("ahrsVersionField") == ahrsVersion &&
               Shown("ahrsVersionField");
    }
    // The port list's choice made again, as the installer does to retry.
    void ChoosePortAgain() {
        auto* ports = Find<QComboBox>(QStringLiteral("portList"));
        emit ports->activated(ports->currentIndex());
    }
    std::optional<CBoxAnswerer> answerer{std::in_place, QMessageBox::Ok};
};

// An installation is never run without the aircraft's tail number: on entering, and on a
// tick when it is cleared meanwhile, the installer goes back to the welcome page.
TEST_F(ConnectionPageTest, AnEmptyTailNumberSendsTheInstallerBackToTheWelcomePage) {
    for (const bool onTick : {false, true}) {
        SCOPED_TRACE(onTick ? "on a tick" : "on entering");
        Session().SetTailNumber(onTick ? "N410KT" : "");
        GoTo(kConnectionPage);
        EXPECT_EQ(wizard.CurrentPage(), onTick ? kConnectionPage : kWelcomePage);
        Session().SetTailNumber("");
        EXPECT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kWelcomePage; }));
    }
    EXPECT_TRUE(answerer->Boxes().empty());
}

TEST_F(ConnectionPageTest, TheSpeedChosenIsStoredInTheUnit) {
    CTestUnit& sim = Open();
    SaveArtifact(wizard, "page-1-connected");
    auto* high = Find<QRadioButton>(QStringLiteral("highSpeedRadio"));
    Click(high);
    ASSERT_TRUE(RunEventsUntil([&] { return high->isEnabled() && high->isChecked(); }));
    EXPECT_EQ(sim.Value("StoredA429Speed"), "1.0");
}

TEST_F(ConnectionPageTest, GoingOnNeedsTheMagnetometer) {
    ASSERT_TRUE(CMagMeasurementFile(kMagSerial).Write(1, 2, 3));
    // The serial number, kept when the RQ270 stops answering, still finds its file.
    CTestUnit& sim = Open({"--mag-serial", kMagSerial});
    ASSERT_TRUE(RunEventsUntil([] { return State().GetMagSerialNumber() == kMagSerial; }));
    ASSERT_TRUE(Ok(sim.Command("mag off")));
    ASSERT_TRUE(RunEventsUntil(
        [&] { return Text("magVersionField").find("-----") == 0 && Usable("calibrateButton"); }));
    Click("calibrateButton");
    EXPECT_TRUE(StepsEnded(wizard));
    EXPECT_EQ(wizard.CurrentPage(), kConnectionPage);
    EXPECT_TRUE(OneBox(answerer->Boxes(), "Error communicating with RQ270",
                       "RQ270 is not communicating with the HX410.  Please connect the RQ270."));
}

// Nothing goes on before the unit has shown its ARINC setting, also when it comes back; Clear
// Pre-Cal shows only while connected to a class with a free-field step, and archives the
// measurement only when confirmed.
TEST_F(ConnectionPageTest, GoingOnWaitsForTheArincSettingAndClearPreCalForItsClass) {
    const CMagMeasurementFile measurement(kMagSerial);
    ASSERT_TRUE(measurement.Write(1, 2, 3));
    CTestUnit& sim = Open({"--mag-serial", kMagSerial});
    for (const auto answer : {QMessageBox::Cancel, QMessageBox::Ok}) {
        ASSERT_TRUE(RunEventsUntil([&] {
            return Usable("calibrateButton") && Shown("clearPreCalButton") && Shown("clearNote");
        }));
        answerer.emplace(answer);
        Click("clearPreCalButton");
        EXPECT_TRUE(StepsEnded(wizard));
        EXPECT_TRUE(OneBox(answerer->Boxes(), "Clear Free Field Measurement"));
        EXPECT_EQ(measurement.Exists(), answer == QMessageBox::Cancel);
    }
    EXPECT_EQ(ReadText(measurement.ArchivePath(0)), "OUT_X: 1\nOUT_Y: 2\nOUT_Z: 3\n");
    EXPECT_TRUE(Shown("preCalButton") && !Shown("calibrateButton") && !Shown("clearPreCalButton"));
    ASSERT_TRUE(measurement.Write(1, 2, 3));
    // The unit goes and comes back: the record starts again, without the setting.
    ASSERT_EQ(sim.Command("fault hide ARINC"), "ok fault hide ARINC");
    ASSERT_EQ(sim.Command("power off"), "ok power off");
    ASSERT_TRUE(RunEventsUntil([&] { return Text("statusField") == "Not Connected"; }));
    ASSERT_EQ(sim.Command("power on"), "ok power on");
    ASSERT_TRUE(RunEventsUntil([&] { return ConnectedTo("HX410 V1.62"); }));
    ASSERT_EQ(State().GetArincOutput(), -1.0);
    EXPECT_FALSE(Usable("calibrateButton") || Usable("verifyOnlyButton"));
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

// A unit silent while earlier corrections are written back: the page then shows the lost
// link (the box is answered once the loss is known) instead of going on.
TEST_F(ConnectionPageTest, ALinkLostWhileRestoringIsSeenWhenTheRestoreEnds) {
    CTestUnit& sim = Open();
    Session().KeepEarlierCorrections(State().GetAhrsSerialNumber(), {{}, {1.25, -0.5, 0.75, 2}});
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
    ChoosePortAgain(); // refreshes, and restores
    EXPECT_EQ(sim.Command("power off"), "ok power off");
    EXPECT_TRUE(StepsEnded(wizard));
    EXPECT_EQ(captions, std::vector<std::string>{"Error restoring compass corrections"});
    EXPECT_EQ(Text("statusField"), "Not Connected");
    EXPECT_TRUE(Session().RestoreDueFor(State().GetAhrsSerialNumber()))
        << "tried again when the unit is back";
}

TEST_F(ConnectionPageTest, APendingMountIsSentOnceTheMagnetometerAnswers) {
    CTestUnit& sim = StartUnit();
    const std::string mountBefore = sim.Value("Mount");
    ASSERT_EQ(sim.Command("mag off"), "ok mag off");
    Session().SetSelectedMount(10);
    GoTo(kConnectionPage);
    ASSERT_TRUE(RunEventsUntil([&] { return !answerer->Boxes().empty(); }));
    EXPECT_TRUE(OneBox(answerer->Boxes(), "Error communicating with RQ270"));
    EXPECT_EQ(sim.Value("StoredMount"), mountBefore) << "no mount without the RQ270";
    EXPECT_EQ(Session().SelectedMount(), 10) << "still pending";
    // Without the magnetometer's serial number no measurement file is known: Pre-Cal waits.
    EXPECT_TRUE(RunEventsUntil([&] {
        return ConnectedTo("HX410 V1.62") && Shown("preCalButton") && !Usable("preCalButton");
    }));

    // As the box asks, the same port chosen again once the RQ270 is back: the mount goes.
    ASSERT_EQ(sim.Command("mag on"), "ok mag on");
    ASSERT_TRUE(RunEventsUntil([] { return State().GetMagVersion().rfind("RQ270", 0) == 0; }));
    ChoosePortAgain();
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kCoarsePage; }));
    EXPECT_TRUE(RunEventsUntil([&] { return sim.Value("StoredMount") == "10"; }));
    EXPECT_EQ(Session().SelectedMount(), 0);

    // After a power cycle on a line too noisy for any version, the mount waits (instead of
    // going on as for an older version) until the line is clean.
    GoTo(kConnectionPage);
    ASSERT_TRUE(RunEventsUntil([&] { return ConnectedTo("HX410 V1.62"); }));
    Session().SetSelectedMount(9);
    ASSERT_EQ(sim.Command("power off"), "ok power off");
    ASSERT_TRUE(RunEventsUntil([&] { return Text("statusField") == "Not Connected"; }));
    ASSERT_EQ(sim.Command("fault garble 0.30"), "ok fault garble 0.30");
    ASSERT_EQ(sim.Command("power on"), "ok power on");
    ASSERT_TRUE(RunEventsUntil([&] { return Text("statusField") == "Connected"; }));
    std::set<std::string> shown;
    EXPECT_TRUE(RunEventsFor(CTimeBase(kScale), 10000, [&] {
        if (Shown("ahrsVersionField")) {
            shown.insert(Text("ahrsVersionField"));
        }
    }));
    EXPECT_EQ(shown, std::set<std::string>{""});
    EXPECT_EQ(wizard.CurrentPage(), kConnectionPage);
    EXPECT_EQ(Session().SelectedMount(), 9) << "still pending";
    EXPECT_EQ(sim.Value("StoredMount"), "10");
    ASSERT_EQ(sim.Command("fault garble 0"), "ok fault garble 0");
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kCoarsePage; }));
    EXPECT_TRUE(RunEventsUntil([&] { return sim.Value("Mount") == "9"; }));
    EXPECT_EQ(answerer->Boxes().size(), 1u);
}

} // namespace
