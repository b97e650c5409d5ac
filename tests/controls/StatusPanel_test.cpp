#include "controls/StatusPanel.h"

#include "controls/ColouredField.h"
#include "device/AhrsState.h"

#include "QtTestApp.h"
#include "records/CaseTable.h"

#include <QLineEdit>

#include <map>

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
    const std::map<std::string, std::uint32_t> masks{{"free field", CStatusPanel::kFreeFieldMask},
                                                     {"measuring", CStatusPanel::kMeasuringMask}};
    for (const auto& c : CaseTable("status-words.txt")) {
        SCOPED_TRACE(c[0] + ", mask " + c[1]);
        CAhrsState state;
        state.SetStatusWord(static_cast<std::uint32_t>(std::stoul(c[0], nullptr, 16)));
        state.SetDataText("Warm-up 37 s");
        CStatusPanel panel({.mask = masks.at(c[1]), .showAttitude = true});
        const CStatusPanel::Status status = panel.Refresh(state);
        EXPECT_EQ(status.ahrsValid, c[2] == "Valid");
        EXPECT_EQ(status.magValid, c[3] == "Valid");
        EXPECT_EQ(FieldText(panel, "ahrsStatusField").toStdString(), c[2]);
        EXPECT_EQ(FieldText(panel, "magStatusField").toStdString(), c[3]);
        EXPECT_EQ(FieldText(panel, "warmUpField"), status.ahrsValid ? "" : "Warm-up 37 s");
        const auto colour = [](bool valid) { return valid ? qRgb(0, 255, 0) : qRgb(255, 0, 0); };
        const char* artifact = status.ahrsValid ? "status-valid" : "status-invalid";
        EXPECT_EQ(ShownBackground(panel, *panel.AhrsStatusField(), artifact),
                  colour(status.ahrsValid));
        EXPECT_EQ(ShownBackground(panel, *panel.MagStatusField()), colour(status.magValid));
    }
}

// Until the unit's first status word the fields are neutral, not a red "Invalid (0x0)".
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
