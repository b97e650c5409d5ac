#pragma once

#include "procedure/MountChange.h"
#include "procedure/PowerCycle.h"
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
    static constexpr int kGiveUpTicks = CPowerCycle::kGiveUpTicks;
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
    CPowerCycle powerCycle;
    bool changeRequested = false; // SelectedMount comes from "Change Mount"
    bool shown = false;
    CBusyBox switchOffBox;
    CBusyBox switchOnBox;
};
