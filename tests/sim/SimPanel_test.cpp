// The control window against a running simulator: each control reaches the model through
// the loop's thread-safe entry and the window follows what standard input changes.
#include "controls/QtTestApp.h"
#include "device/SimPeer.h"
#include "records/TempDir.h"
#include "sim/SimRunner.h"
#include "sim/panel/SimPanel.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QDial>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

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

template <typename T> T* Find(QWidget& panel, const char* name) {
    T* widget = panel.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

} // namespace

TEST(SimPanel, ControlsDriveTheSimulatorAndFollowItsState) {
    CTempDir dir;
    RunningSim sim(dir.Path());
    ASSERT_TRUE(sim.loop.joinable());
    CSimPanel panel([&sim](const std::string& line) { return sim.runner.Execute(line); },
                    sim.runner.ComNumber());
    for (QWidget* control : panel.findChildren<QWidget*>()) {
        if ((control->focusPolicy() & Qt::TabFocus) != 0 &&
            qobject_cast<QAbstractSpinBox*>(control->parentWidget()) == nullptr) {
            EXPECT_FALSE(control->accessibleName().isEmpty()) << control->metaObject()->className();
        }
    }

    Find<QDial>(panel, "headingDial")->setValue(90);
    Find<QDoubleSpinBox>(panel, "pitchSpin")->setValue(-12.5);
    for (const char* name : {"powerCheck", "magPluggedCheck", "freeFieldCheck", "dropAcksCheck"}) {
        Find<QCheckBox>(panel, name)->click();
    }
    Find<QDoubleSpinBox>(panel, "garbleRateSpin")->setValue(0.25);
    QLineEdit* version = Find<QLineEdit>(panel, "versionEdit");
    version->setText(QStringLiteral("HX410 V9.99"));
    emit version->editingFinished();
    const std::string state = "\n" + sim.runner.Execute("state") + "\n";
    for (const char* line :
         {"Heading=90.00", "Pitch=-12.50", "Power=off", "MagPresent=off", "FreeField=on",
          "DropAcks=on", "Garble=0.25", "AhrsVersion=HX410 V9.99"}) {
        EXPECT_NE(state.find("\n" + std::string(line) + "\n"), std::string::npos) << line;
    }

    // Typed on standard input: the window shows it and sends nothing back.
    sim.runner.Execute("heading 45");
    sim.runner.Execute("power on");
    auto* answer = Find<QLabel>(panel, "answerLabel");
    const QString lastAnswer = answer->text();
    panel.Refresh();
    EXPECT_EQ(Find<QDial>(panel, "headingDial")->value(), 45);
    EXPECT_TRUE(Find<QCheckBox>(panel, "powerCheck")->isChecked());
    EXPECT_EQ(answer->text(), lastAnswer);

    Find<QPushButton>(panel, "swingButton")->click();
    EXPECT_EQ(Find<QTableWidget>(panel, "swingTable")->rowCount(), 36);
    Find<QPushButton>(panel, "unplugAdapterButton")->click();
    EXPECT_EQ(answer->text(), QStringLiteral("ok unplug"));

    // A control used after the loop has ended answers at once instead of waiting forever.
    sim.Stop();
    EXPECT_TRUE(dir.Names().empty()) << "the COM link outlived the loop";
    Find<QCheckBox>(panel, "powerCheck")->click();
    EXPECT_TRUE(answer->text().startsWith(QStringLiteral("error: ")))
        << answer->text().toStdString();
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
