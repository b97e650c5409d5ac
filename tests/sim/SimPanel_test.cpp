// The control window against a running simulator: each control reaches the model through
// the loop's thread-safe entry and the window follows what standard input changes.
#include "controls/QtTestApp.h"
#include "device/SimPeer.h"
#include "records/TempDir.h"
#include "sim/SimRunner.h"
#include "sim/panel/SimPanel.h"

#include <clocale>
#include <thread>

namespace {

SimOptions Options(const std::string& portDir) {
    SimOptions options;
    options.portDir = portDir;
    options.control = false; // the test's own standard input is not for the simulator
    return options;
}

// The loop on its own thread, as `hx410-sim --panel` runs it.
struct RunningSim {
    explicit RunningSim(const std::string& portDir) : runner(Options(portDir)) {
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

// The panel's control `name`, driven through its Qt properties and slots as a click would.
QObject* Control(QWidget& panel, const char* name) {
    QObject* control = panel.findChild<QObject*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
}

void Click(QWidget& panel, const char* name) {
    QMetaObject::invokeMethod(Control(panel, name), "click");
}

} // namespace

TEST(SimPanel, ControlsDriveTheSimulatorAndFollowItsState) {
    CTempDir dir;
    RunningSim sim(dir.Path());
    ASSERT_TRUE(sim.loop.joinable());
    CSimPanel panel([&sim](const std::string& line) { return sim.runner.Execute(line); },
                    sim.runner.ComNumber());
    Control(panel, "headingDial")->setProperty("value", 90);
    Control(panel, "pitchSpin")->setProperty("value", -12.5);
    for (const char* name : {"powerCheck", "magPluggedCheck", "freeFieldCheck", "dropAcksCheck"}) {
        Click(panel, name);
    }
    Control(panel, "garbleRateSpin")->setProperty("value", 0.25);
    QObject* version = Control(panel, "versionEdit");
    version->setProperty("text", QStringLiteral("HX410 V9.99"));
    QMetaObject::invokeMethod(version, "editingFinished");
    const std::string state = "\n" + sim.runner.Execute("state") + "\n";
    for (const char* line :
         {"Heading=90.00", "Pitch=-12.50", "Power=off", "MagPresent=off", "FreeField=on",
          "DropAcks=on", "Garble=0.25", "AhrsVersion=HX410 V9.99"}) {
        EXPECT_NE(state.find("\n" + std::string(line) + "\n"), std::string::npos) << line;
    }

    // Typed on standard input: the window shows it and sends nothing back.
    sim.runner.Execute("heading 45");
    sim.runner.Execute("power on");
    QObject* answer = Control(panel, "answerLabel");
    const QVariant lastAnswer = answer->property("text");
    panel.Refresh();
    EXPECT_EQ(Control(panel, "headingDial")->property("value"), 45);
    EXPECT_EQ(Control(panel, "powerCheck")->property("checked"), true);
    EXPECT_EQ(answer->property("text"), lastAnswer);

    Click(panel, "swingButton");
    EXPECT_EQ(Control(panel, "swingTable")->property("rowCount"), 36);
    Click(panel, "unplugAdapterButton");
    EXPECT_EQ(answer->property("text"), QStringLiteral("ok unplug"));

    // A control used after the loop has ended answers at once instead of waiting forever.
    sim.Stop();
    EXPECT_TRUE(dir.Names().empty()) << "the COM link outlived the loop";
    Click(panel, "powerCheck");
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
