#pragma once

// What a wizard works with, made for one test: the link (on the test's own COM places, or
// on a transport the test gives), settings on a file of its own, the mount positions and
// an installation session. Nothing is shared with another test.

#include "device/AhrsLink.h"
#include "records/InstallationSession.h"
#include "records/SettingsStore.h"
#include "records/TempDir.h"
#include "wizard/MountPositionList.h"
#include "wizard/WizardServices.h"

#include <memory>

class CWizardObjects {
public:
    CWizardObjects(IUiThread& uiThread, CTimeBase timeBase, ComPortPlaces places,
                   std::unique_ptr<ITransport> transport = nullptr)
        : settings(configDirectory.Path() + "/appSettings.xml"),
          link(uiThread, timeBase, std::move(places), std::move(transport)) {}

    // A link that sees no serial port at all: the machine's own stay out of the test.
    CWizardObjects(IUiThread& uiThread, CTimeBase timeBase)
        : settings(configDirectory.Path() + "/appSettings.xml"),
          link(uiThread, timeBase, NoPorts()) {}

    WizardServices Services() { return {link, settings, mountPositions, session}; }

private:
    ComPortPlaces NoPorts() const {
        return {configDirectory / "ports", configDirectory / "dev", configDirectory / "sys"};
    }

public:
    const CTempDir configDirectory;
    CSettingsStore settings;
    const CMountPositionList mountPositions;
    CInstallationSession session;
    CAhrsLink link; // last: its listener ends before anything else goes
};
