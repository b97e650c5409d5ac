#pragma once

class CAhrsLink;
class CInstallationSession;
class CMountPositionList;
class CSettingsStore;

// What the wizard's pages work with. The application's main (or a test) owns each object and
// hands them to the wizard, which hands them to its pages; every one outlives the wizard.
struct WizardServices {
    CAhrsLink& link;
    CSettingsStore& settings;
    const CMountPositionList& mountPositions;
    CInstallationSession& session;
};
