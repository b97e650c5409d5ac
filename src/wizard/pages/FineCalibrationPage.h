#pragma once

#include "controls/StatusPanel.h"
#include "procedure/FineRun.h"
#include "wizard/BusyBox.h"
#include "wizard/WizardPage.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

class CAhrsLink;
class CColouredField;
class CCompassCtrl;
class CRateMeterCtrl;
class CStatusPanel;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// Page 5, Step 3: on a compass rose the installer aligns the aircraft with each cardinal
// heading and records the magnetometer's heading error there. From the four errors the page
// computes the compass corrections, sends them, has the RQ270's configuration module store
// them and checks, across a magnetometer power reset, that they were kept. Units of classes
// 0 and 1 also take the latitude and magnetic variation here.
class CFineCalibrationPage : public CWizardPage {
    Q_OBJECT

public:
    static constexpr double kSteadyRate = 0.05;
    static constexpr double kRateFullScale = 0.5;
    static constexpr double kRateGreenFraction = 0.05;
    static constexpr double kStoreSettleMs = 2500;
    static constexpr double kVerifyResetMs = 5000;
    static constexpr double kNextSettleMs = 500;
    static constexpr double kNextLeadMs = 1500;
    static constexpr double kNextResetMs = 6500;

    explicit CFineCalibrationPage(QWidget* parent = nullptr);
    ~CFineCalibrationPage() override;

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
    struct Cardinal {
        QFrame* frame = nullptr;
        QPushButton* button = nullptr;
        CColouredField* result = nullptr;
    };
    using Location = CFineRun::Location;

    void BuildControls();
    QWidget* BuildCardinal(int heading);
    QWidget* BuildHeadingDisplay();
    QWidget* BuildLocation();
    Step StartAfresh();
    // What a failed send of compass corrections asks the installer to do.
    enum class Then { Calibrate, Back, Next, Store };
    Step ReportCompassEcho(CorrectionEcho echo, Then then);
    QCoro::Task<bool> ZeroCorrections();
    QCoro::Task<bool> RestoreEarlierCorrections(Then then);
    bool TakesLocation() const;
    Step ShowLocationFromUnit();
    QCoro::Task<std::optional<Location>> ReadLocation();
    QCoro::Task<bool> StoreCompassCorrections(CBusyBox& shown);
    QCoro::Task<bool> VerifyAcrossMagReset(QString boxText, double waitMs,
                                           std::optional<Location> entered);
    Step ReportStoreFailure();
    CStatusPanel::Status ShowLive();
    void ShowFrameOf(double heading);
    void EnableCalibrate(bool enabled);
    void ShowWhetherAllMeasured();
    Step OnCalibrateHeading(int heading);
    QCoro::Task<bool> AgreesWithRecordedErrors(int heading, double error);
    Step OnStoreConfiguration();

    CCompassCtrl* compass = nullptr;
    CRateMeterCtrl* rateMeter = nullptr;
    CStatusPanel* statusPanel = nullptr;
    QLineEdit* headingField = nullptr;
    QWidget* locationBlock = nullptr;
    QLineEdit* variationEdit = nullptr;
    QLineEdit* latitudeEdit = nullptr;
    QPushButton* storeButton = nullptr;
    std::array<Cardinal, 4> cardinals;
    CBusyBox measurementBox;

    double fineHeading = 0.0;
    double fineHeadingRate = 0.0;
    bool steady = false;
    CFineRun run;
    bool allHeadingsMeasured = false;
};
