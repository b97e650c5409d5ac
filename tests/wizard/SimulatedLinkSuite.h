#pragma once

// A wizard test against simulated units: each test has its own link on the suite's own COM
// links only (no serial port of the machine appears), its own settings and session, and
// everything runs twenty times faster than real time.

#include "WizardObjects.h"
#include "WizardTestSupport.h"
#include "device/AhrsLink.h"
#include "device/SimPeer.h"
#include "records/CalibrationMath.h"
#include "records/TempDir.h"
#include "wizard/QtUiThread.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>

class CSimulatedLinkSuite : public ::testing::Test {
public:
    static constexpr double kScale = 20.0;

    static void SetUpTestSuite() {
        static const CTempDir ports;
        places = {ports / "com", ports / "dev", ports / "sys"};
        for (const std::string& dir : {places.portsDir, places.devRoot, places.sysTtyRoot}) {
            std::filesystem::create_directories(dir);
        }
        uiThread = std::make_unique<CQtUiThread>(CTimeBase(kScale));
    }
    static void TearDownTestSuite() { uiThread.reset(); }

protected:
    CSimulatedLinkSuite() : objects(*uiThread, CTimeBase(kScale), places) { current = &objects; }
    ~CSimulatedLinkSuite() override { current = nullptr; }

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

    // One value of the simulator's "state" listing.
    static std::string SimValue(CSimPeer& sim, const std::string& name) {
        std::string value;
        if (!sim.Send("state\n")) {
            return value;
        }
        for (std::string line = sim.ReadLine(); !line.empty() && line != "end";
             line = sim.ReadLine()) {
            if (line.rfind(name + "=", 0) == 0) {
                value = line.substr(name.size() + 1);
            }
        }
        return value;
    }

    inline static ComPortPlaces places;
    inline static std::unique_ptr<CQtUiThread> uiThread;
    CWizardObjects objects;

private:
    inline static CWizardObjects* current = nullptr;
    CUnansweredBoxGuard unansweredBoxes;
};
