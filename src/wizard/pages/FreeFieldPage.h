#pragma once

#include "procedure/FreeFieldMeasurement.h"
#include "wizard/BusyBox.h"
#include "wizard/WizardPage.h"

#include <array>

class CAhrsLink;
class CColouredField;
class CStatusPanel;
class QLabel;
class QLineEdit;
class QPushButton;

// Page 2, Step 1: with the RQ270 away from the aircraft, "Execute" collects ten samples of
// its counts, one per tick, and their means become the free-field values; Finish stores them
// in the magnetometer's measurement file and ends the run. A magnetometer that already has a
// complete file skips the page (to the pending page, else the mount page).
class CFreeFieldPage : public CWizardPage {
    Q_OBJECT

public:
    static constexpr int kSamplesPerCollection = CFreeFieldMeasurement::kSamples;
    static constexpr double kLeaveSettleMs = 1500;
    static constexpr double kSavedShowMs = 2000;

    explicit CFreeFieldPage(QWidget* parent = nullptr);

    bool LeavesOnLinkLoss() const override { return true; }

    void OnInit() override;
    Step OnSetActive() override;
    Step OnKillActive() override;
    Answer OnWizardFinish() override;

protected:
    Step OnMessage(int message) override;
    Step OnTick() override;

private:
    void BuildControls();
    bool LoadMeasurement();
    Step OnExecute();
    // Ends a running collection without a result: the box goes, the samples are dropped.
    void AbandonCollection();
    void TakeSample(const MagReading& reading);
    void ShowResult();
    void ShowReading(const MagReading& reading);
    Step ReportSaveFailure(QString path, int error);

    CStatusPanel* statusPanel = nullptr;
    std::array<QLineEdit*, 5> countFields{}; // X, Y, Z, XL, YL
    QPushButton* executeButton = nullptr;
    std::array<CColouredField*, 3> resultFields{};
    QLabel* finishNote = nullptr;

    CFreeFieldMeasurement measurement;
    bool unsteady = false; // the last collection's samples did not agree, not yet told
    CBusyBox collectingBox;
};
