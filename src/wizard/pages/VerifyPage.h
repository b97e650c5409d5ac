#pragma once

#include "wizard/WizardPage.h"

class CAhrsLink;
class CCompassCtrl;
class CRateMeterCtrl;
class CStatusPanel;
class QLineEdit;

// Page 7: the calibrated magnetometer heading live on the compass rose and as a number, with
// the heading rate, the AHRS attitude and the status panel, while the installer turns the
// aircraft through known headings. It changes nothing on the unit; while it is shown the
// unit prints output page C, and page E again once it is left.
class CVerifyPage : public CWizardPage {
    Q_OBJECT

public:
    static constexpr double kRateFullScale = 0.5;
    static constexpr double kRateGreenFraction = 0.2;

    explicit CVerifyPage(QWidget* parent = nullptr);

    bool LeavesOnLinkLoss() const override { return true; }

    void OnInit() override;
    Step OnSetActive() override;
    Step OnKillActive() override;

protected:
    Step OnMessage(int message) override;
    Step OnTick() override;

private:
    void BuildControls();
    void ShowLive();

    CStatusPanel* statusPanel = nullptr;
    CCompassCtrl* compass = nullptr;
    CRateMeterCtrl* rateMeter = nullptr;
    QLineEdit* headingField = nullptr;
};
