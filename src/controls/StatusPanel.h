#pragma once

#include <QWidget>

#include <cstdint>

class CAhrsState;
class CColouredField;
class QFormLayout;
class QGroupBox;
class QLineEdit;

// The live block of the measuring pages: the AHRS and magnetometer status in coloured
// fields, the AHRS warm-up text, optionally the mount position and the AHRS attitude
// ("HX410 429 Data"). The page refreshes it from the record on every tick.
class CStatusPanel : public QWidget {
    Q_OBJECT

public:
    // The status bits that must all be set for the AHRS to be valid: the free-field page
    // leaves out bit 1, the later pages need it.
    static constexpr std::uint32_t kFreeFieldMask = 0xCD;
    static constexpr std::uint32_t kMeasuringMask = 0xCF;
    static constexpr std::uint32_t kMagInvalidBit = 0x1000;

    struct Options {
        std::uint32_t mask = kMeasuringMask;
        bool showMount = true;     // "Mount Dir" (all but the verification page)
        bool showAttitude = false; // "HX410 429 Data" (fine and verification pages)
    };

    struct Status {
        bool ahrsValid = false;
        bool magValid = false;
    };

    explicit CStatusPanel(const Options& options, QWidget* parent = nullptr);

    // Decodes the status word with the panel's mask, colours and fills every field, and
    // returns the verdicts for the page to enable what depends on them.
    Status Refresh(const CAhrsState& state);

    // Attitude as shown everywhere: 15 significant digits, the shorter of fixed and
    // exponent notation.
    static QString FormatAttitude(double value);

    CColouredField* AhrsStatusField() const noexcept { return ahrsField; }
    CColouredField* MagStatusField() const noexcept { return magField; }

private:
    // The mount and the attitude rows, where the panel has them.
    void ShowAttitude(const CAhrsState& state);
    QGroupBox* NewAttitudeGroup();
    static void AddRow(QFormLayout* form, const QString& label, QLineEdit* field,
                       const QString& objectName);
    static QLineEdit* NewReadOnlyField(QWidget* parent);

    std::uint32_t mask;
    CColouredField* ahrsField;
    CColouredField* magField;
    QLineEdit* warmUpField;
    QLineEdit* mountField = nullptr;
    QLineEdit* pitchField = nullptr;
    QLineEdit* rollField = nullptr;
    QLineEdit* headingField = nullptr;
};
