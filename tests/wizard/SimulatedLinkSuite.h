#pragma once

// The process-wide link of a wizard test program: on the test's own COM links only (no
// serial port of the machine appears), with the settings in a temporary configuration
// directory, and everything twenty times faster than real time.

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
        // Function-local statics: made before the settings store and the link, so they
        // are removed only after the store has been saved at exit.
        static const CTempDir config;
        static const CTempDir ports;
        ::setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
        places = {ports / "com", ports / "dev", ports / "sys"};
        for (const std::string& dir : {places.portsDir, places.devRoot, places.sysTtyRoot}) {
            std::filesystem::create_directories(dir);
        }
        uiThread = std::make_unique<CQtUiThread>(CTimeBase(kScale));
        ASSERT_TRUE(CAhrsLink::Configure(*uiThread, CTimeBase(kScale), places));
    }
    static void TearDownTestSuite() {
        CAhrsLink::Instance().Shutdown(); // before its UI thread goes
        uiThread.reset();
    }

protected:
    static CAhrsState& State() { return CAhrsLink::Instance().State(); }

    // The four heading measurements of the coarse step as the record holds them.
    static std::array<HeadingMeasurement, 4> RecordedHeadings() {
        std::array<HeadingMeasurement, 4> byHeading;
        for (int i = 0; i < 4; ++i) {
            byHeading[i] = {static_cast<int16_t>(State().GetRawMagX(i)),
                            static_cast<int16_t>(State().GetRawMagY(i)),
                            static_cast<int16_t>(State().GetRawMagZ(i)), State().GetEffPitch(i),
                            State().GetEffRoll(i)};
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

private:
    CUnansweredBoxGuard unansweredBoxes;
};
