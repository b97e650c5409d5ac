#include "report/InstallationReport.h"

#include "PdfText.h"
#include "controls/QtTestApp.h"
#include "wizard/MountPositionList.h"

#include <QPdfWriter>
#include <QTemporaryDir>

namespace {

constexpr double kRow = 1.0 / 6.0;
constexpr double kFooterTop = 10.45;
constexpr double kNear = 0.01; // pdftotext boxes a word from the top of its row

InstallationValues Values(int versionClass, bool freeField) {
    InstallationValues v;
    v.ahrsSerialNumber = "SN-4410";
    v.ahrsVersion = "4.07";
    v.magSerialNumber = "MG-270";
    v.magVersion = "1.20";
    v.programVersion = "1.0.0";
    v.versionClass = versionClass;
    v.tailNumber = "N123AB";
    v.shopName = "Prairie Avionics";
    v.installer = "J. Smith";
    v.mountLabel = "Connector Aft";
    if (freeField) {
        v.freeField = std::array<std::int16_t, 3>{-120, 345, -6};
    }
    v.magFieldCorrection = {11, -22, 33};
    v.mcc = {0.5, -1.25, 2.0, -0.004};
    v.magneticVariation = -3.0;
    v.latitude = 45.5;
    // By heading index: North, South, East, West.
    v.rawMagX = {1210, -1194, 36, 22};
    v.rawMagY = {18, -31, 1187, -1202};
    v.rawMagZ = {-3402, -3391, -3398, -3405};
    v.effPitch = {1.25, 1.5, 1.75, 2.0};
    v.effRoll = {-0.5, -0.25, 0.25, 0.5};
    v.levelMagX = {1205.5, -1190.25, 30.75, 18.5};
    v.levelMagY = {15.25, -28.5, 1180.75, -1199.0};
    v.levelMagZ = {-3410.5, -3395.25, -3401.0, -3408.75};
    return v;
}

QImage Red(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    return image;
}

// Every row label in order, for a report with or without the free-field and bias rows.
QStringList RowLabels(bool freeField, bool bias) {
    QStringList labels = QStringLiteral("Date:|HX410 Serial Number:|HX410 Software Version:|"
                                        "RQ270 Serial Number:|RQ270 Software Version:|"
                                        "Install Software Version:|Tail Number:|Shop Name:|"
                                        "Installer:|Mount Position:")
                             .split('|');
    const QStringList axes{"X", "Y", "Z"};
    for (const QString& axis : freeField ? axes : QStringList()) {
        labels << "Free-Field " + axis + ":";
    }
    for (const QString& axis : bias ? axes : QStringList()) {
        labels << "Bias Correction " + axis + ":";
    }
    for (const char* heading : {"North", "South", "East", "West"}) {
        labels << QStringLiteral("Compass Correction %1:").arg(heading);
    }
    labels << "Magnetic Variance:"
           << "Latitude:";
    for (const char* quantity : {"Raw X Sensor", "Raw Y Sensor", "Raw Z Sensor", "Eff Pitch",
                                 "Eff Roll", "Lvl X Sensor", "Lvl Y Sensor", "Lvl Z Sensor"}) {
        for (const char* heading : {"NORTH", "EAST", "SOUTH", "WEST"}) {
            labels << QStringLiteral("%1 %2:").arg(quantity, heading);
        }
    }
    return labels;
}

class InstallationReport : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HavePdfToText()) {
            GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
        }
        ASSERT_TRUE(folder.isValid());
    }

    // The report printed to `name`.pdf, letter size at 600 dpi, on a device whose printable
    // area starts 0.25 in from the left edge and 0.2 in from the top; then read back.
    PdfText Printed(CInstallationReport& report, const QString& name) {
        QPdfWriter pdf(folder.filePath(name + ".pdf"));
        pdf.setResolution(600);
        pdf.setPageSize(QPageSize(QPageSize::Letter));
        pdf.setPageMargins(QMarginsF(0.25, 0.2, 0.25, 0.25), QPageLayout::Inch);
        EXPECT_TRUE(report.Print(pdf));
        const std::optional<PdfText> text = ReadPdfText(folder.filePath(name + ".pdf"));
        EXPECT_TRUE(text);
        return text.value_or(PdfText{});
    }

    QTemporaryDir folder;
};

TEST_F(InstallationReport, RowsStandAtTheirPlacesFromThePapersEdge) {
    InstallationValues values = Values(2, true);
    values.tailNumber = "N123\nAB\x1b";             // pasted: no row of its own, nothing raw
    values.installer = "M\xFCller\r\n";             // from an 8-bit identification file
    values.shopName = "[%page%] Avionics [%bold%]"; // typed: printed as it stands
    CInstallationReport report;
    BuildInstallationReport(report, values, Red(100, 80));
    const PdfText text = Printed(report, "rows");
    ASSERT_EQ(text.pages, 1);
    EXPECT_TRUE(text.title.startsWith("Korvan HX410 AHRS Installation Report - "));

    const double mountRow = 0.7 + 10 * kRow;
    const double northRow = 0.7 + 11 * kRow + 1.2 + kRow; // under the 80-pixel picture
    constexpr double kCentred = -1.0;                     // centred between 0.3 and 8.2 in
    const struct {
        QString phrase;
        double left;
        double top;
        QString value; // the words beside it in the value column
    } cases[] = {
        {"Korvan HX410 AHRS Installation Report", kCentred, 0.2, ""},
        {"Date:", 0.3, 0.7, "(date)"},
        {"HX410 Serial Number:", 0.3, 0.7 + kRow, "SN-4410"},
        {"Install Software Version:", 0.3, 0.7 + 5 * kRow, "1.0.0"},
        {"Tail Number:", 0.3, 0.7 + 7 * kRow, "N123AB"},
        {"Shop Name:", 0.3, 0.7 + 8 * kRow, "[%page%] Avionics [%bold%]"},
        {"Installer:", 0.3, 0.7 + 9 * kRow, QStringLiteral("M\u00FCller")},
        {"Mount Position:", 0.3, mountRow, "Connector Aft"},
        {"Compass Correction North:", 0.3, northRow, "0.50"},
        {"Compass Correction West:", 0.3, northRow + 3 * kRow, "0.00"}, // -0.004
        {"Raw X Sensor EAST:", 0.3, northRow + 7 * kRow, "36.00"},
        {"Eff Roll SOUTH:", 0.3, northRow + 24 * kRow, "-0.25"},
        {"Lvl Z Sensor WEST:", 0.3, northRow + 37 * kRow, "-3408.75"},
        {"Page 1", kCentred, kFooterTop, ""},
    };
    static const QRegularExpression printed(R"(^\d\d/\d\d/\d\d \d\d:\d\d:\d\d$)");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.phrase.toStdString());
        const auto found = text.Find(c.phrase);
        ASSERT_TRUE(found);
        const double left = c.left == kCentred ? 4.25 - found->box.width() / 2 : c.left;
        EXPECT_NEAR(found->box.left(), left, kNear);
        EXPECT_NEAR(found->box.top(), c.top, kNear);
        const QString value = text.Beside(*found, 2.3, kNear);
        if (c.value == "(date)") {
            EXPECT_TRUE(printed.match(value).hasMatch()) << value.toStdString();
        } else if (!c.value.isEmpty()) {
            EXPECT_EQ(value, c.value);
        }
    }
    EXPECT_FALSE(text.Find("Free-Field X:")); // only for the classes that correct the field
    EXPECT_FALSE(text.Find("Bias Correction X:"));

    // The picture stands under the mount row at 0.015 in per pixel.
    const QImage page = report.RenderPage(1, 100);
    const auto at = [&](double x, double y) {
        return page.pixel(qRound(x * 100), qRound(y * 100));
    };
    EXPECT_EQ(at(2.3 + 0.75, mountRow + kRow + 0.6), qRgb(255, 0, 0));
    for (const QPointF outside : {QPointF(2.25, 3.0), QPointF(3.85, 3.0), QPointF(3.0, 3.8)}) {
        EXPECT_EQ(at(outside.x(), outside.y()), qRgb(255, 255, 255)) << outside.x();
    }
}

TEST_F(InstallationReport, EveryRowIsPrintedAboveTheFooterWithItsValue) {
    const QImage mountPicture = CMountPositionList().Find(8)->picture; // 174 x 174
    const struct {
        const char* name;
        int versionClass;
        bool freeField;
        QImage picture;
        int pages;
        QString firstOnPage2;
    } cases[] = {
        {"full", 5, true, mountPicture, 2, "Eff Roll SOUTH:"},
        {"no-field-corrections", 8, true, mountPicture, 2, "Lvl Y Sensor NORTH:"},
        {"no-picture", 7, true, QImage(), 1, ""},
        {"small-picture", 3, false, Red(100, 40), 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CInstallationReport report;
        BuildInstallationReport(report, Values(c.versionClass, c.freeField), c.picture);
        const PdfText text = Printed(report, c.name);
        ASSERT_EQ(text.pages, c.pages);
        for (const PdfText::Word& word : text.words) {
            EXPECT_TRUE(QRectF(0, 0, 8.5, 11.0).contains(word.box)) << word.text.toStdString();
        }
        std::size_t from = 0;
        for (int page = 1; page <= c.pages; ++page) {
            const auto title = text.Find("Korvan HX410 AHRS Installation Report", from);
            const auto footer = text.Find(QStringLiteral("Page %1").arg(page));
            ASSERT_TRUE(title && footer) << page;
            EXPECT_EQ(title->page, page);
            EXPECT_EQ(footer->page, page);
            EXPECT_NEAR(footer->box.top(), kFooterTop, kNear);
            from = title->end;
        }

        // Each row once, in order, above the footer, with its value beside it. A row that does
        // not fit starts page 2 at the first row's place and the rest follow at row spacing.
        std::optional<PdfText::Found> previous;
        const bool corrects = c.versionClass >= 3 && c.versionClass <= 7;
        for (const QString& label : RowLabels(corrects && c.freeField, corrects)) {
            SCOPED_TRACE(label.toStdString());
            const auto row = text.Find(label);
            ASSERT_TRUE(row);
            EXPECT_FALSE(text.Find(label, row->end));
            EXPECT_LT(row->box.bottom(), kFooterTop);
            EXPECT_FALSE(text.Beside(*row, 2.3, kNear).isEmpty());
            if (label == c.firstOnPage2) {
                EXPECT_EQ(row->page, 2);
                EXPECT_NEAR(row->box.top(), 0.7, kNear);
                EXPECT_EQ(previous->page, 1);
                EXPECT_GT(previous->box.top() + 2 * kRow, kFooterTop); // it would have crossed
            } else if (previous && row->page == 2) {
                EXPECT_NEAR(row->box.top(), previous->box.top() + kRow, kNear);
            } else if (previous) {
                EXPECT_EQ(row->page, previous->page);
                EXPECT_GT(row->box.top(), previous->box.top() + kRow - kNear);
            }
            previous = row;
        }
    }

    const QString artifacts = QStringLiteral(HX410_ARTIFACTS_DIR);
    ASSERT_TRUE(QDir().mkpath(artifacts));
    QFile::remove(artifacts + "/report.pdf");
    EXPECT_TRUE(QFile::copy(folder.filePath("full.pdf"), artifacts + "/report.pdf"));
    CInstallationReport full;
    BuildInstallationReport(full, Values(5, true), mountPicture);
    EXPECT_TRUE(full.RenderPage(1, 150).save(artifacts + "/report.png"));
}

} // namespace
