#pragma once

#include "wizard/WizardPage.h"

class CAhrsLink;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
struct VersionCapabilities;

// Page 1: the installer picks the PC serial port; the page opens the link (again on every
// activation), shows the connection status and both software versions, classifies the
// HX410 version, offers the ARINC options the version supports, finishes a mount change
// or restores compass corrections left over from a lost link, and leaves by "Calibrate"
// ("Pre-Cal" before the first free-field measurement) or "Verify Only". It shows no wizard
// buttons.
class CConnectionPage : public CWizardPage {
    Q_OBJECT

public:
    static constexpr double kClassifyRetryMs = 500;
    static constexpr int kClassifyTries = 5;
    static constexpr double kMountSettleMs = 1500;
    static constexpr double kMagVersionBoundMs = 30000;
    static constexpr double kRestoreBoundMs = 5000;
    static constexpr double kRestorePollMs = 25;
    static constexpr double kSpeedStoreDelayMs = 1500;
    static constexpr double kVerifyDelayMs = 1000;

    explicit CConnectionPage(QWidget* parent = nullptr);

    void OnInit() override;
    Step OnSetActive() override;
    Step OnKillActive() override;

protected:
    Step OnMessage(int message) override;
    Step OnTick() override;

private:
    enum class Pass { Refresh, Tick };

    void BuildControls();
    void FillPortList();
    Step Refresh();
    bool LeaveWhenNoTailNumber();
    void ShowNotConnected();
    Step RestoreCompassCorrections();
    QCoro::Task<bool> CompletePendingMount();
    void ShowSpeedSelection(const VersionCapabilities& offered);
    void ShowMaintenanceWord(const VersionCapabilities& offered, Pass pass);
    void ShowGoOnButton(const VersionCapabilities& offered);
    void ShowFinalButtons(const VersionCapabilities& offered);
    void EnableGoOn(bool enabled);
    void ShowVersions();
    void SetStatusText(const QString& text);
    void SetHint(const QString& text);

    Step OnPortChanged(int index);
    Step OnSpeedChosen();
    Step OnMaintenanceWordClicked();
    Step OnCalibrate();
    Step OnVerifyOnly();
    Step OnClearPreCal();
    QCoro::Task<bool> MagnetometerAnswers(double waitBeforeReturnMs);
    void SaveSelectedPort();
    Step ReportUnknownVersion();

    QComboBox* portList = nullptr;
    QLineEdit* statusField = nullptr;
    QLabel* hintLabel = nullptr;
    QLabel* ahrsVersionLabel = nullptr;
    QLineEdit* ahrsVersionField = nullptr;
    QLabel* magVersionLabel = nullptr;
    QLineEdit* magVersionField = nullptr;
    QLabel* speedHeading = nullptr;
    QLabel* speedNote = nullptr;
    QRadioButton* highSpeed = nullptr;
    QRadioButton* lowSpeed = nullptr;
    QCheckBox* maintenanceWord = nullptr;
    QLabel* maintenanceNote = nullptr;
    QLabel* diagnosticNote = nullptr;
    QLabel* clearNote = nullptr;
    QPushButton* clearPreCal = nullptr;
    QPushButton* preCal = nullptr;
    QPushButton* calibrate = nullptr;
    QPushButton* verifyOnly = nullptr;
    double lastArincOutput = -1.0;
    bool mountAwaitsVersion = false; // a pending mount met no version taken yet
};
