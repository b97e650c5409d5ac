#pragma once

#include <QWidget>

#include <functional>
#include <string>

class CHeadingDial;
class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// The simulator's control window, a thin front on its control commands: every control
// sends the command it stands for through `execute`, which answers as standard input
// would, and the last answer shows at the bottom. Refresh reads `state` back, so commands
// typed on standard input and a turning aircraft show here too.
class CSimPanel : public QWidget {
    Q_OBJECT

public:
    using Executor = std::function<std::string(const std::string& line)>;
    static constexpr int kRefreshMs = 500;

    CSimPanel(Executor execute, int comNumber, QWidget* parent = nullptr);

public slots:
    // Sets the controls from `state`, leaving alone the one the operator is working.
    void Refresh();

private:
    QWidget* BuildAircraft();
    QWidget* BuildUnit();
    QWidget* BuildFaults();
    QWidget* BuildSwing();
    QCheckBox* AddSwitch(const char* name, const QString& text, const char* verb);
    QDoubleSpinBox* AddNumber(const char* name, double min, double max, double step, int decimals,
                              const char* command);
    // Runs one command and shows the last line of its answer.
    std::string Send(const std::string& line);
    void RunSwing();

    Executor execute;
    CHeadingDial* headingDial = nullptr;
    QLabel* headingLabel = nullptr;
    QDoubleSpinBox* pitchSpin = nullptr;
    QDoubleSpinBox* rollSpin = nullptr;
    QCheckBox* powerCheck = nullptr;
    QCheckBox* magPluggedCheck = nullptr;
    QCheckBox* freeFieldCheck = nullptr;
    QCheckBox* dropAcksCheck = nullptr;
    QDoubleSpinBox* garbleSpin = nullptr;
    QLineEdit* versionEdit = nullptr;
    QLabel* swingMaxLabel = nullptr;
    QTableWidget* swingTable = nullptr;
    QLabel* statusLabel = nullptr;
    QLabel* answerLabel = nullptr;
};
