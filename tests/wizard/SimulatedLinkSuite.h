#pragma once

// A wizard test against simulated units: each test has its own link, settings and session,
// its own COM links (no serial port of the machine appears), and everything runs twenty
// times faster than real time. The units run in the test's own process, or, for the tests
// that prove the real path, as hx410-sim over a pseudo-terminal.

#include "WizardObjects.h"
#include "WizardTestSupport.h"
#include "device/AhrsLink.h"
#include "device/SimPeer.h"
#include "device/SimTransport.h"
#include "records/CalibrationMath.h"
#include "records/TempDir.h"
#include "wizard/QtUiThread.h"

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// A simulated unit as a test talks to it, wherever it runs.
class CTestUnit {
public:
    virtual ~CTestUnit() = default;
    virtual int ComNumber() const = 0;
    bool Ok() const { return ComNumber() > 0; }
    // A control command of hx410-sim ("power off", "heading 90", ...); its first answer line.
    virtual std::string Command(const std::string& line) = 0;
    // The lines a control command answers, up to the one that starts with `last`.
    virtual std::vector<std::string> Lines(const std::string& command, const std::string& last) = 0;
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
};

// A unit in the test's process, behind the link's own transport.
class CInProcessUnit : public CTestUnit {
public:
    CInProcessUnit(CSimTransport& units, int number) : units(units), number(number) {}
    int ComNumber() const override { return number; }
    std::string Command(const std::string& line) override {
        const std::string answer = units.Command(line, number);
        return answer.substr(0, answer.find('\n'));
    }

    std::vector<std::string> Lines(const std::string& command, const std::string& last) override {
        std::vector<std::string> lines;
        std::string answer = units.Command(command, number) + "\n";
        for (std::size_t end; (end = answer.find('\n')) != std::string::npos;) {
            lines.push_back(answer.substr(0, end));
            answer.erase(0, end + 1);
            if (lines.back().rfind(last, 0) == 0) {
                break;
            }
        }
        return lines;
    }

private:
    CSimTransport& units;
    int number;
};

// hx410-sim as a process of its own, on a pseudo-terminal.
class CProcessUnit : public CTestUnit {
public:
    CProcessUnit(const std::string& portsDir, double scale, const std::vector<std::string>& options)
        : peer(HX410_SIM_PATH, portsDir, scale, options) {}
    int ComNumber() const override { return peer.ComNumber(); }
    std::string Command(const std::string& line) override { return peer.Command(line); }

    std::vector<std::string> Lines(const std::string& command, const std::string& last) override {
        std::vector<std::string> lines;
        if (peer.Send(command + "\n")) {
            for (std::string line = peer.ReadLine(); !line.empty(); line = peer.ReadLine()) {
                lines.push_back(line);
                if (line.rfind(last, 0) == 0) {
                    break;
                }
            }
        }
        return lines;
    }

private:
    CSimPeer peer;
};

class CSimulatedLinkSuite : public ::testing::Test {
public:
    static constexpr double kScale = 20.0;
    enum class UnitPath { InProcess, PseudoTerminal };

    static void SetUpTestSuite() { uiThread = std::make_unique<CQtUiThread>(CTimeBase(kScale)); }
    static void TearDownTestSuite() { uiThread.reset(); }

protected:
    explicit CSimulatedLinkSuite(UnitPath path = UnitPath::InProcess)
        : places(MakePlaces(ports)),
          objects(*uiThread, CTimeBase(kScale), places, MakeTransport(path)) {
        current = &objects;
    }
    ~CSimulatedLinkSuite() override {
        objects.link.Close(); // before the units go
        current = nullptr;
    }

    // A simulated unit with hx410-sim's options on the next free COM link; its port becomes
    // the saved one. It lives as long as the test.
    CTestUnit& StartUnit(const std::vector<std::string>& options = {}) {
        if (units != nullptr) {
            testUnits.push_back(std::make_unique<CInProcessUnit>(*units, units->AddUnit(options)));
        } else {
            testUnits.push_back(std::make_unique<CProcessUnit>(places.portsDir, kScale, options));
        }
        EXPECT_TRUE(testUnits.back()->Ok());
        Settings().Set("ComPort", testUnits.back()->ComNumber());
        return *testUnits.back();
    }

    // Closes the link and forgets this test's handles on its units (units in process stay,
    // unheard, on their COM numbers; a new one takes the next number).
    void StopUnits() {
        Link().Close();
        testUnits.clear();
    }

    // This test's link and its record (static, for the conditions tests wait on).
    static CAhrsLink& Link() { return current->link; }
    static CAhrsState& State() { return current->link.State(); }
    CInstallationSession& Session() { return objects.session; }
    CSettingsStore& Settings() { return objects.settings; }

    // The four heading measurements of the coarse step as the session holds them.
    std::array<HeadingMeasurement, 4> RecordedHeadings() {
        std::array<HeadingMeasurement, 4> byHeading;
        for (int i = 0; i < 4; ++i) {
            byHeading[i] = Session().CoarseHeadingAt(i).measurement;
        }
        return byHeading;
    }

    inline static std::unique_ptr<CQtUiThread> uiThread;
    const CTempDir ports;
    const ComPortPlaces places;

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

    CSimTransport* units = nullptr; // the link's transport, when the units are in process
    std::vector<std::unique_ptr<CTestUnit>> testUnits; // outlive the link's port

protected:
    CWizardObjects objects;

private:
    inline static CWizardObjects* current = nullptr;
    CUnansweredBoxGuard unansweredBoxes;
};
