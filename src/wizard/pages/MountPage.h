#pragma once

#include "procedure/MountChange.h"
#include "wizard/BusyBox.h"
#include "wizard/WizardPage.h"

class CAhrsLink;
class QListWidget;
class QPushButton;

// Page 3: the mount positions as pictures, the unit's own selected. Choosing another one and
// pressing "Change Mount" guides the installer through a power cycle of the unit (switch off,
// switch on), then sends the new position with an error and IMU reset and moves on to the
// coarse calibration page. An unchanged mount leaves by Next.
class CMountPage : public CWizardPage {
    Q_OBJECT

public:
    static constexpr int kGiveUpTicks = 30;
    static constexpr double kLinkPollBoundMs = 30000;
    static constexpr double kSettleMs = 3000;
    static constexpr double kCommandGapMs = kMountCommandGapMs;

    explicit CMountPage(QWidget* parent = nullptr);
    ~CMountPage() override; // the magnetometer's power reset, once the page was shown

    void OnInit() override;
    Step OnSetActive() override;
    Step OnKillActive() override;
    Answer OnWizardNext() override;

protected:
    Step OnMessage(int message) override;
    Step OnTick() override;

private:
    // Where a requested mount change stands.
    enum class Cycle {
        None,       // no change requested
        SwitchOff,  // waiting for the unit to go silent
        SwitchOn,   // unit off, waiting for it to answer again; the tick runs
        Proceeding, // unit back, the proceed message posted
    };

    void BuildControls();
    void MarkCurrentMount();
    int SelectedId() const;
    void OnMountSelected();
    void OnChangeMount();
    Step OnLinkChanged();
    void StartProceeding();
    Step OnProceed();
    QCoro::Task<bool> UnitReady();
    void CancelCycle();
    Step ReportLostLink();

    QListWidget* mountList = nullptr;
    QPushButton* changeMount = nullptr;
    int currentMount = 0;
    Cycle cycle = Cycle::None;
    bool changeRequested = false; // SelectedMount comes from "Change Mount"
    int ticks = 0;
    bool shown = false;
    CBusyBox switchOffBox;
    CBusyBox switchOnBox;
};
