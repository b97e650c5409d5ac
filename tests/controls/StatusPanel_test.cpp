#include "controls/StatusPanel.h"

#include "controls/ColouredField.h"
#include "device/AhrsState.h"

#include "QtTestApp.h"

#include <QLineEdit>

namespace {

QString FieldText(const QWidget& panel, const char* name) {
    const auto* field = panel.findChild<QLineEdit*>(QLatin1String(name));
    return field != nullptr ? field->text() : QStringLiteral("<missing>");
}

// The background a person sees in `field`, right of any text.
QRgb ShownBackground(QWidget& panel, const QWidget& field, const char* artifact = nullptr) {
    panel.resize(panel.sizeHint());
    const QImage image = Render(panel, artifact);
    const QRect box(field.mapTo(&panel, QPoint(0, 0)), field.size());
    return image.pixel(box.right() - 5, box.center().y());
}

TEST(StatusPanel, DecodesTheStatusWordWithThePageMask) {
    struct Case {
        std::uint32_t word, mask;
        const char* ahrs;
        const char* mag;
        const char* artifact;
    } const cases[] = {
        {0xCD, CStatusPanel::kFreeFieldMask, "Valid", "Valid", "status-valid"},
        {0xCD, CStatusPanel::kMeasuringMask, "Invalid (0xcd)", "Valid", nullptr},
        {0x4D, CStatusPanel::kFreeFieldMask, "Invalid (0x4d)", "Valid", nullptr},
        {0x10CF, CStatusPanel::kMeasuringMask, "Valid", "Invalid", nullptr},
        {0x1000, CStatusPanel::kMeasuringMask, "Invalid (0x1000)", "Invalid", "status-invalid"},
        {0, CStatusPanel::kMeasuringMask, "Invalid (0x0)", "Valid", nullptr},
        {0xFFFFEFFF, CStatusPanel::kMeasuringMask, "Valid", "Valid", nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.word << " mask " << c.mask);
        CAhrsState state;
        state.SetStatusWord(c.word);
        state.SetDataText("Warm-up 37 s");
        CStatusPanel panel({.mask = c.mask, .showAttitude = true});
        const CStatusPanel::Status status = panel.Refresh(state);
        EXPECT_EQ(status.ahrsValid, QLatin1String(c.ahrs) == QLatin1String("Valid"));
        EXPECT_EQ(status.magValid, QLatin1String(c.mag) == QLatin1String("Valid"));
        EXPECT_EQ(FieldText(panel, "ahrsStatusField"), QLatin1String(c.ahrs));
        EXPECT_EQ(FieldText(panel, "magStatusField"), QLatin1String(c.mag));
        EXPECT_EQ(FieldText(panel, "warmUpField"), status.ahrsValid ? "" : "Warm-up 37 s");
        const auto colour = [](bool valid) { return valid ? qRgb(0, 255, 0) : qRgb(255, 0, 0); };
        EXPECT_EQ(ShownBackground(panel, *panel.AhrsStatusField(), c.artifact),
                  colour(status.ahrsValid));
        EXPECT_EQ(ShownBackground(panel, *panel.MagStatusField()), colour(status.magValid));
    }
}

// Before a refresh and before the unit's first status word the fields say nothing, rather
// than "Invalid (0x0)".
TEST(StatusPanel, NoStatusReadShowsNeutralFields) {
    CAhrsState state;
    state.SetStatusWord(0xCF);
    state.Reset(); // the link was lost
    CStatusPanel panel({});
    const QRgb neutral = panel.palette().color(QPalette::Base).rgb();
    EXPECT_EQ(ShownBackground(panel, *panel.AhrsStatusField()), neutral) << "before a refresh";
    const CStatusPanel::Status status = panel.Refresh(state);
    EXPECT_FALSE(status.ahrsValid || status.magValid);
    EXPECT_EQ(FieldText(panel, "ahrsStatusField"), "");
    EXPECT_EQ(ShownBackground(panel, *panel.AhrsStatusField()), neutral);
    EXPECT_EQ(ShownBackground(panel, *panel.MagStatusField()), neutral);
    state.SetStatusWord(0);
    panel.Refresh(state);
    EXPECT_EQ(FieldText(panel, "ahrsStatusField"), "Invalid (0x0)");
}

} // namespace
