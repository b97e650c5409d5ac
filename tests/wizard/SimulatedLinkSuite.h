#pragma once

// Wizard tests against simulated units twenty times faster than real time, in the test's own
// process or, for the tests that prove the real path, as hx410-sim over a pseudo-terminal.

#include "WizardTestSupport.h"
#include "controls/ColouredField.h"
#include "device/SimPeer.h"
#include "device/SimTransport.h"
#include "records/CalibrationMath.h"
#include "wizard/StandardPages.h"

#include <QLineEdit>
#include <QPushButton>

#include <cmath>
#include <filesystem>
#include <sstream>

// The four cardinal headings in the order the installer walks them.
struct Cardinal {
    int index;
    const char* key; // object name prefix
    const char* name;
    double heading; // the aircraft's heading there
};
inline const std::array<Cardinal, 4> kWalk{{{kHeadingNorth, "north", "North", 0.0},
                                            {kHeadingEast, "east", "East", 90.0},
                                            {kHeadingSouth, "south", "South", 180.0},
                                            {kHeadingWest, "west", "West", 270.0}}};
inline const char kLostLink[] = "Error communicating with HX410.";
inline bool Ok(const std::string& reply) {
    return reply.rfind("ok", 0) == 0;
}

// A simulated unit behind the link's own transport, or hx410-sim on a pseudo-terminal.
class CTestUnit {
public:
    CTestUnit(CSimTransport& units, int number) : units(&units), number(number) {}
    CTestUnit(const std::string& portsDir, double scale, const std::vector<std::string>& options)
        : peer(std::make_unique<CSimPeer>(HX410_SIM_PATH, portsDir, scale, options)),
          number(peer->ComNumber()) {}
    int ComNumber() const { return number; }

    // The lines a control command of hx410-sim answers, up to the one that starts with `last`.
    std::vector<std::string> Lines(const std::string& command, const std::string& last) {
        std::istringstream answer(units != nullptr ? units->Command(command, number) : "");
        const bool sent = units != nullptr || peer->Send(command + "\n");
        std::vector<std::string> lines;
        for (std::string line; sent && (units != nullptr ? !!std::getline(answer, line)
                                                         : !(line = peer->ReadLine()).empty());) {
            lines.push_back(line);
            if (line.rfind(last, 0) == 0) {
                break;
            }
        }
        return lines;
    }
    // A control command ("power off", "heading 90", ...); its first answer line.
    std::string Command(const std::string& line) {
        const std::vector<std::string> lines = Lines(line, "");
        return lines.empty() ? std::string() : lines[0];
    }
    // One value of the unit's "state" listing.
    std::string Value(const std::string& name) {
        std::string value;
        for (const std::string& line : Lines("state", "end")) {
            if (line.rfind(name + "=", 0) == 0) {
                value = line.substr(name.size() + 1);
            }
        }
        return value;
    }

private:
    CSimTransport* units = nullptr;
    std::unique_ptr<CSimPeer> peer;
    int number;
};

// The wizard (the standard pages unless a test makes its own) on the test's link.
class SimPagesTest : public ::testing::Test {
public:
    static constexpr double kScale = 20.0;
    enum class UnitPath { InProcess, PseudoTerminal };

    static void SetUpTestSuite() { uiThread = std::make_unique<CQtUiThread>(CTimeBase(kScale)); }
    static void TearDownTestSuite() { uiThread.reset(); }

protected:
    explicit SimPagesTest(const CInstallationWizard::PageMaker& makePage = MakeStandardPage,
                          UnitPath path = UnitPath::InProcess)
        : places(MakePlaces(ports)),
          objects(*uiThread, CTimeBase(kScale), places, MakeTransport(path)),
          wizard(*uiThread, CTimeBase(kScale), objects.Services(), makePage) {
        current = &objects;
        Session().SetTailNumber("N410KT");
        wizard.show();
    }
    ~SimPagesTest() override {
        objects.link.Close(); // before the units go
        current = nullptr;
    }

    // A simulated unit with hx410-sim's options on the next free COM link, the saved port.
    CTestUnit& StartUnit(const std::vector<std::string>& options = {}) {
        testUnits.push_back(units != nullptr
                                ? std::make_unique<CTestUnit>(*units, units->AddUnit(options))
                                : std::make_unique<CTestUnit>(places.portsDir, kScale, options));
        EXPECT_GT(testUnits.back()->ComNumber(), 0);
        objects.settings.Set("ComPort", testUnits.back()->ComNumber());
        return *testUnits.back();
    }
    // A unit without noise or warm-up, connected on the connection page with its RQ270.
    CTestUnit& Connect(const std::vector<std::string>& options = {}) {
        std::vector<std::string> all = {"--noise", "0", "--warmup", "0"};
        all.insert(all.end(), options.begin(), options.end());
        CTestUnit& unit = StartUnit(all);
        wizard.GoToPage(kConnectionPage);
        EXPECT_TRUE(WaitConnected());
        return unit;
    }
    // On the connection page, connected, and the RQ270 has answered, as its buttons need.
    bool WaitConnected() {
        return RunEventsUntil([&] {
            return wizard.CurrentPage() == kConnectionPage && Text("statusField") == "Connected" &&
                   State().GetMagVersion().rfind("RQ270", 0) == 0 &&
                   !State().GetMagSerialNumber().empty() && !wizard.Steps().IsRunning();
        });
    }

    // Presses `button` once it can be pressed and no step runs (a press in a step is lost).
    void Click(QAbstractButton* button) {
        ASSERT_TRUE(RunEventsUntil([&] {
            return button->isVisible() && button->isEnabled() && !wizard.Steps().IsRunning();
        })) << button->objectName().toStdString();
        button->click();
    }
    void Click(const char* name) { Click(Find<QPushButton>(name)); }
    // Presses a button that leads to `page`.
    bool GoOnBy(const char* buttonName, int page) {
        Click(buttonName);
        return RunEventsUntil([&] { return wizard.CurrentPage() == page; });
    }
    // Goes to `page`, or presses Next or Back, and lets the step end.
    void GoTo(int page) {
        wizard.GoToPage(page);
        EXPECT_TRUE(StepsEnded(wizard));
    }
    void Next() {
        wizard.PressNext();
        EXPECT_TRUE(StepsEnded(wizard));
    }
    void Back() {
        wizard.PressBack();
        EXPECT_TRUE(StepsEnded(wizard));
    }
    // Runs `act` with every box answered with OK and lets the step end; the boxes shown.
    std::vector<CBoxAnswerer::Box> BoxesOf(const std::function<void()>& act) {
        const CBoxAnswerer answerer;
        act();
        EXPECT_TRUE(StepsEnded(wizard));
        return answerer.Boxes();
    }

    // The calibration pages' Calibrate button and result field of a heading.
    QPushButton* Button(const Cardinal& c) {
        return Find<QPushButton>(QLatin1String(c.key) + QLatin1String("CalibrateButton"));
    }
    CColouredField* Result(const Cardinal& c) {
        return Find<CColouredField>(QLatin1String(c.key) + QLatin1String("ResultField"));
    }
    // Turns the aircraft to `c`; waits for its frame on the screen and its button.
    void TurnTo(CTestUnit& unit, const Cardinal& c) {
        ASSERT_TRUE(Ok(unit.Command("heading " + std::to_string(c.heading))));
        ASSERT_TRUE(FramedOnScreen(*wizard.Page(wizard.CurrentPage()), c.index)) << c.name;
        ASSERT_TRUE(RunEventsUntil([&] { return Button(c)->isEnabled(); })) << c.name;
    }
    // Whether the unit's average heading settles within `degrees` of the simulated output.
    bool Settled(CTestUnit& unit, double degrees = 0.05) {
        const double output = std::stod(unit.Value("OutputHeading"));
        return RunEventsUntil([&] {
                   return std::fabs(std::remainder(State().GetAvgHeading() - output, 360.0)) <
                          degrees;
               }) &&
               RunEventsFor(CTimeBase(kScale), 2 * CWizardPage::kPageTickMs);
    }

    // A widget of the current page, else of the whole wizard.
    template <class Widget = QWidget> Widget* Find(const QString& name) {
        const QWidget* page = wizard.Page(wizard.CurrentPage());
        auto* widget = page != nullptr ? page->findChild<Widget*>(name) : nullptr;
        widget = widget != nullptr ? widget : wizard.findChild<Widget*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
    template <class Widget = QWidget> Widget* Find(const char* name) {
        return Find<Widget>(QLatin1String(name));
    }
    std::string Text(const char* fieldName) {
        return Find<QLineEdit>(fieldName)->text().toStdString();
    }
    bool Shown(const char* name) { return Find(name)->isVisible(); }
    bool Usable(const char* buttonName) {
        auto* button = Find<QPushButton>(buttonName);
        return button->isVisible() && button->isEnabled();
    }
    // The wizard buttons that can be pressed, as Back 1, Next 2, Finish 4.
    int WizardButtons() {
        return (Usable("backButton") ? IWizardFrame::kBack : 0) |
               (Usable("nextButton") ? IWizardFrame::kNext : 0) |
               (Usable("finishButton") ? IWizardFrame::kFinish : 0);
    }

    // This test's link and its record (static, for the conditions tests wait on).
    static CAhrsLink& Link() { return current->link; }
    static CAhrsState& State() { return current->link.State(); }
    CInstallationSession& Session() { return objects.session; }

    // The four heading measurements of the coarse step as the session holds them.
    std::array<HeadingMeasurement, 4> RecordedHeadings() {
        std::array<HeadingMeasurement, 4> byHeading;
        for (int i = 0; i < 4; ++i) {
            byHeading[i] = Session().CoarseHeadingAt(i).measurement;
        }
        return byHeading;
    }

    inline static std::unique_ptr<CQtUiThread> uiThread;

private:
    static ComPortPlaces MakePlaces(const CTempDir& root) {
        const ComPortPlaces made{root / "com", root / "dev", root / "sys"};
        for (const std::string& dir : {made.portsDir, made.devRoot, made.sysTtyRoot}) {
            std::filesystem::create_directories(dir);
        }
        return made;
    }
    std::unique_ptr<ITransport> MakeTransport(UnitPath path) {
        if (path == UnitPath::PseudoTerminal) {
            return nullptr; // the serial port
        }
        auto made = std::make_unique<CSimTransport>(CTimeBase(kScale), places.portsDir);
        units = made.get();
        return made;
    }

    const CTempDir ports;
    const ComPortPlaces places;
    CSimTransport* units = nullptr; // the link's transport, when the units are in process
    std::vector<std::unique_ptr<CTestUnit>> testUnits; // outlive the link's port
    inline static CWizardObjects* current = nullptr;

protected:
    const CScratchDirectory directory; // the working folder of the run's files
    CWizardObjects objects;
    CInstallationWizard wizard;
};
