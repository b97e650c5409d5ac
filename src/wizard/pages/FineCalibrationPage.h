#pragma once

#include "controls/StatusPanel.h"
#include "records/InstallationSession.h"
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
    static constexpr double kMeasurementSettleMs = 2000;
    static constexpr double kRecordSampleMs = 250; // heading checks while a heading is recorded
    static constexpr double kLatitudeSettleMs = 500;
    static constexpr double kVariationSettleMs = 1500;
    static constexpr double kPageEReadMs = 2500;
    static constexpr double kStoreSettleMs = 2500;
    static constexpr double kVerifyResetMs = 5000;
    static constexpr double kNextSettleMs = 500;
    static constexpr double kNextLeadMs = 1500;
    static constexpr double kNextResetMs = 6500;
    static constexpr double kZeroPollMs = 10;
    static constexpr double kSendPollMs = 25;
    static constexpr double kEchoBoundMs = 5000; // for each compass correction's echo
    static constexpr double kSendTolerance = 0.02;
    static constexpr double kReadBackTolerance = 0.02;

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
    // Latitude and magnetic variation as typed, for units that take them.
    struct Location {
        double latitude = 0.0;
        double variation = 0.0;
    };

    void BuildControls();
    QWidget* BuildCardinal(int heading);
    QWidget* BuildHeadingDisplay();
    QWidget* BuildLocation();
    Step StartAfresh();
    // Why a set of compass corrections is sent: zeroed for the measurement, the earlier ones
    // restored for Back or for Next's verification, or the new ones to be stored.
    enum class Sending { Zero, RestoreForBack, RestoreForNext, New };
    QCoro::Task<bool> SendCompassCorrections(std::array<double, 4> values, Sending sending,
                                             CBusyBox* shown = nullptr);
    QCoro::Task<bool> ZeroCorrections();
    bool TakesLocation() const;
    Step ShowLocationFromUnit();
    QCoro::Task<std::optional<Location>> ReadLocation();
    Step SendLocation(Location location, bool suspendParsing);
    QCoro::Task<bool> StoreCompassCorrections(CBusyBox& shown);
    QCoro::Task<bool> VerifyAcrossMagReset(QString boxText, double waitMs,
                                           std::optional<Location> entered);
    QCoro::Task<bool> LocationReadBack(Location entered);
    Step ReportStoreFailure();
    void Stored();
    CInstallationSession::Corrections UnitCorrections() const;
    std::array<double, 4> EarlierCompassCorrections() const;
    CStatusPanel::Status ShowLive();
    void ShowFrameOf(double heading);
    void EnableCalibrate(bool enabled);
    void ShowWhetherAllMeasured();
    Step OnCalibrateHeading(int heading);
    QCoro::Task<bool> AgreesWithRecordedErrors(int heading, double error);
    QCoro::Task<bool> HeadingHeldWhileRecording(double pressed);
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
    std::array<double, 4> compassCorrection{};
    bool correctionsZeroed = false;
    bool allHeadingsMeasured = false;
    bool configurationStored = false;
};
