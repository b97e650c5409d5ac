#pragma once

#include "controls/StatusPanel.h"
#include "procedure/CoarseRun.h"
#include "records/HeadingSteadiness.h"
#include "wizard/BusyBox.h"
#include "wizard/WizardPage.h"

#include <QString>

#include <array>
#include <cstdint>
#include <memory>

class CAhrsLink;
struct CoarseCrossCheck;
class CColouredField;
class CCompassCtrl;
class CRateMeterCtrl;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

// Page 4, Step 2: with the magnetometer mounted, the installer turns the aircraft to each
// cardinal heading and collects ten samples there; Next computes the three hard-iron
// corrections and sets them on the HX410, each confirmed by its echo. Every activation
// starts the step afresh with the unit's corrections zeroed. Versions of classes 0 to 2 do
// not use the step and pass straight on to the fine calibration page.
class CCoarseCalibrationPage : public CWizardPage {
    Q_OBJECT

public:
    static constexpr double kLeaveSettleMs = 1500;

    explicit CCoarseCalibrationPage(QWidget* parent = nullptr);
    ~CCoarseCalibrationPage() override;

    bool LeavesOnLinkLoss() const override { return true; }

    void OnInit() override;
    Step OnSetActive() override;
    Step OnKillActive() override;
    Answer OnWizardNext() override;
    Answer OnWizardBack() override;

protected:
    Step OnMessage(int message) override;
    Step OnTick() override;
    void OnDisplayTick() override;

private:
    // One cardinal heading's part of the page, by heading index (N, S, E, W).
    struct Cardinal {
        QFrame* frame = nullptr;
        QVBoxLayout* frameLayout = nullptr;
        QPushButton* button = nullptr;
        CColouredField* result = nullptr;
        std::unique_ptr<CBusyBox> box;
        bool unsteady = false; // the last collection's samples did not agree, not yet told
    };

    void BuildControls();
    QWidget* BuildCardinal(int heading);
    QWidget* BuildHeadingDisplay();
    QWidget* BuildCounts();
    void StartAfresh();
    void ResetResultField(int heading);
    QCoro::Task<bool> ZeroCorrections(QString then);
    void EndCollections();
    void ReadLiveValues();
    void ShowLiveValues();
    CStatusPanel::Status ShowLive(double heading);
    void ShowFrameOf(double heading);
    void EnableCalibrate(bool enabled);
    void CollectionStep(int heading);
    void ShowWhetherAllCollected();
    Step ReportUnsteadyCollections();
    Step RefuseHeadings(CoarseCrossCheck check);
    Step OnCalibrateHeading(int heading);

    CCompassCtrl* compass = nullptr;
    CRateMeterCtrl* rateMeter = nullptr;
    CStatusPanel* statusPanel = nullptr;
    std::array<QLineEdit*, 5> countFields{}; // X, Y, Z, XL, YL
    QLabel* nextNote = nullptr;
    std::array<Cardinal, 4> cardinals;

    CCoarseRun run;
    MagReading live;
    double currentHeading = 0.0;
    CHeadingSteadiness steadiness;
    bool passedOnce = false; // classes 0 to 2: corrections zeroed once, on a pass
};
