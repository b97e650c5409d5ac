#include "controls/StatusPanel.h"

#include "controls/ColouredField.h"
#include "device/AhrsState.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

constexpr int kAttitudeDigits = 15;

struct Decoded {
    bool ahrsValid;
    QString ahrsText;
    bool magValid;
    QString magText;
};

Decoded Decode(std::uint32_t word, std::uint32_t mask) {
    // Only the low eight bits of the mask name AHRS status bits.
    const std::uint32_t needed = mask & 0xFFu;
    Decoded result{};
    result.ahrsValid = (word & needed) == needed;
    result.ahrsText = result.ahrsValid ? QStringLiteral("Valid")
                                       : QString::asprintf("Invalid (0x%x)", unsigned{word});
    result.magValid = (word & CStatusPanel::kMagInvalidBit) == 0;
    result.magText = result.magValid ? QStringLiteral("Valid") : QStringLiteral("Invalid");
    return result;
}

void ShowVerdict(CColouredField* field, bool valid, const QString& text) {
    if (valid) {
        field->SetValid();
    } else {
        field->SetInvalid();
    }
    field->setText(text);
}

} // namespace

CStatusPanel::CStatusPanel(const Options& options, QWidget* parent)
    : QWidget(parent), mask(options.mask), ahrsField(new CColouredField(this)),
      magField(new CColouredField(this)), warmUpField(NewReadOnlyField(this)) {
    setObjectName(QStringLiteral("statusPanel"));
    setAccessibleName(tr("Live status"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    if (options.showAttitude) {
        column->addWidget(NewAttitudeGroup());
    }
    auto* form = new QFormLayout;
    column->addLayout(form);
    const int statusWidth = fontMetrics().horizontalAdvance(QStringLiteral("Invalid (0xffffffff)"));
    ahrsField->setMinimumWidth(statusWidth + 12); // and the frame around the text
    AddRow(form, QStringLiteral("HX410 Status:"), ahrsField, QStringLiteral("ahrsStatusField"));
    AddRow(form, QStringLiteral("RQ270 Status:"), magField, QStringLiteral("magStatusField"));
    AddRow(form, QStringLiteral("Warm-upTime:"), warmUpField, QStringLiteral("warmUpField"));
    if (options.showMount) {
        mountField = NewReadOnlyField(this);
        AddRow(form, QStringLiteral("Mount Dir"), mountField, QStringLiteral("mountDirField"));
    }
}

QGroupBox* CStatusPanel::NewAttitudeGroup() {
    auto* group = new QGroupBox(QStringLiteral("HX410 429 Data"), this);
    group->setObjectName(QStringLiteral("attitudeGroup"));
    auto* form = new QFormLayout(group);
    pitchField = NewReadOnlyField(group);
    rollField = NewReadOnlyField(group);
    headingField = NewReadOnlyField(group);
    AddRow(form, QStringLiteral("Pitch:"), pitchField, QStringLiteral("pitchField"));
    AddRow(form, QStringLiteral("Roll:"), rollField, QStringLiteral("rollField"));
    AddRow(form, QStringLiteral("Heading:"), headingField, QStringLiteral("headingField"));
    return group;
}

void CStatusPanel::AddRow(QFormLayout* form, const QString& label, QLineEdit* field,
                          const QString& objectName) {
    field->setObjectName(objectName);
    QString name = label;
    if (name.endsWith(QLatin1Char(':'))) {
        name.chop(1);
    }
    field->setAccessibleName(name);
    form->addRow(label, field); // the label becomes the field's buddy
}

QLineEdit* CStatusPanel::NewReadOnlyField(QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setReadOnly(true);
    return field;
}

CStatusPanel::Status CStatusPanel::Refresh(const CAhrsState& state) {
    if (!state.HasStatusWord()) {
        // Nothing read yet: neither valid nor invalid, and nothing may go on from it.
        for (CColouredField* field : {ahrsField, magField}) {
            field->SetNeutral();
            field->clear();
        }
        warmUpField->clear();
        ShowAttitude(state);
        return {false, false};
    }
    const Decoded decoded = Decode(state.GetStatusWord(), mask);
    warmUpField->setText(decoded.ahrsValid ? QString()
                                           : QString::fromStdString(state.GetDataText()));
    ShowVerdict(ahrsField, decoded.ahrsValid, decoded.ahrsText);
    ShowVerdict(magField, decoded.magValid, decoded.magText);
    ShowAttitude(state);
    return {decoded.ahrsValid, decoded.magValid};
}

void CStatusPanel::ShowAttitude(const CAhrsState& state) {
    if (mountField != nullptr) {
        mountField->setText(QString::number(state.GetMountPosition()));
    }
    if (pitchField != nullptr) {
        pitchField->setText(FormatAttitude(state.GetPitch()));
        rollField->setText(FormatAttitude(state.GetRoll()));
        headingField->setText(FormatAttitude(state.GetOutputHeading()));
    }
}

QString CStatusPanel::FormatAttitude(double value) {
    // Qt's own formatting: always a decimal point, whatever the process locale.
    return QString::asprintf("%.*g", kAttitudeDigits, value);
}
