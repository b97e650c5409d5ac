// The control window against a simulator's loop running on its own thread.
#include "controls/QtTestApp.h"
#include "device/SimPeer.h"
#include "records/TempDir.h"
#include "sim/SimRunner.h"
#include "sim/panel/SimPanel.h"

#include <clocale>
#include <thread>

namespace {

// The loop on its own thread, as `hx410-sim --panel` runs it.
struct RunningSim {
    explicit RunningSim(const SimOptions& options) : runner(options) {
        std::setlocale(LC_NUMERIC, "C"); // as the program does after QApplication
        if (runner.Start()) {
            loop = std::thread([this] { runner.Serve(); });
        }
    }
    ~RunningSim() { Stop(); }
    void Stop() {
        runner.Stop();
        if (loop.joinable()) {
            loop.join();
        }
    }

    CSimRunner runner;
    std::thread loop;
};

// The panel's control `name`, driven through its Qt properties and slots as a user would.
QObject* Control(QWidget& panel, const char* name) {
    QObject* control = panel.findChild<QObject*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
}

} // namespace

// Each control sends its command, which the simulator's loop carries out; what standard
// input changes the window shows without sending anything back.
TEST(SimPanel, ControlsDriveTheSimulatorAndFollowItsState) {
    CTempDir dir;
    SimOptions options;
    options.portDir = dir.Path();
    options.control = false; // the test's own standard input is not for the simulator
    RunningSim sim(options);
    ASSERT_TRUE(sim.loop.joinable());
    std::vector<std::string> sent;
    CSimPanel panel(
        [&](const std::string& line) {
            sent.push_back(line);
            return sim.runner.Execute(line);
        },
        sim.runner.ComNumber());
    sent.clear(); // what it read to start from
    Control(panel, "headingDial")->setProperty("value", 90);
    Control(panel, "pitchSpin")->setProperty("value", -12.5);
    for (const char* name : {"powerCheck", "magPluggedCheck", "freeFieldCheck", "dropAcksCheck",
                             "swingButton", "unplugAdapterButton"}) {
        QMetaObject::invokeMethod(Control(panel, name), "click");
    }
    Control(panel, "garbleRateSpin")->setProperty("value", 0.25);
    QObject* version = Control(panel, "versionEdit");
    version->setProperty("text", QStringLiteral("HX410 V9.99"));
    QMetaObject::invokeMethod(version, "editingFinished");
    EXPECT_EQ(sent,
              (std::vector<std::string>{"heading 90", "pitch -12.5", "power off", "mag off",
                                        "freefield on", "fault drop-acks on", "swing", "unplug",
                                        "fault garble 0.25", "fault version HX410 V9.99"}));
    EXPECT_EQ(Control(panel, "swingTable")->property("rowCount"), 36);
    QObject* answer = Control(panel, "answerLabel");
    EXPECT_EQ(answer->property("text"), QStringLiteral("ok fault version HX410 V9.99"));

    sim.runner.Execute("heading 45");
    sim.runner.Execute("power on");
    sent.clear();
    panel.Refresh();
    EXPECT_EQ(Control(panel, "headingDial")->property("value"), 45);
    EXPECT_EQ(Control(panel, "powerCheck")->property("checked"), true);
    EXPECT_EQ(sent, std::vector<std::string>{"state"});

    // A control used after the loop has ended answers at once instead of waiting forever.
    sim.Stop();
    EXPECT_TRUE(dir.Names().empty()) << "the COM link outlived the loop";
    QMetaObject::invokeMethod(Control(panel, "powerCheck"), "click");
    EXPECT_TRUE(answer->property("text").toString().startsWith(QStringLiteral("error: ")));
}

TEST(SimPanel, TheProgramWithItsPanelTakesStandardInputAndEndsCleanlyOnASignal) {
    CTempDir dir;
    CSimPeer sim(HX410_SIM_PATH, dir.Path(), 20, {"--panel"});
    ASSERT_TRUE(sim.Ok());
    EXPECT_EQ(sim.Command("heading 30"), "ok heading 30");
    ::kill(sim.Pid(), SIGTERM);
    EXPECT_EQ(sim.Finish(), 0);
    EXPECT_TRUE(dir.Names().empty());
}
