#include "report/InstallationReport.h"

#include "PdfText.h"
#include "controls/QtTestApp.h"
#include "wizard/MountPositionList.h"

#include <QPdfWriter>
#include <QTemporaryDir>

#include <algorithm>

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
    QFile::remove(artifacts + "/report-sample.pdf");
    EXPECT_TRUE(QFile::copy(folder.filePath("full.pdf"), artifacts + "/report-sample.pdf"));
    CInstallationReport full;
    BuildInstallationReport(full, Values(5, true), mountPicture);
    EXPECT_TRUE(full.RenderPage(1, 150).save(artifacts + "/report.png"));
}

// A compass swing with two lines not recorded (090 and 270), one deviation at exactly 2.00
// (210), one just beyond it (240), and unit headings given below 0 and from 360 on.
CCompassSwing Swing() {
    CCompassSwing swing;
    const std::optional<double> unitHeadings[] = {-0.8,   31.5,         62.75, std::nullopt,
                                                  120.0,  147.5,        181.0, 208.0,
                                                  602.01, std::nullopt, 299.5, 333.25};
    for (int line = 0; line < CCompassSwing::kLineCount; ++line) {
        if (unitHeadings[line]) {
            swing.Record(line, *unitHeadings[line]);
        }
    }
    return swing;
}

// A row of the swing's table as printed: the aircraft's heading, the unit's, the deviation and
// the mark, as the words in each column.
struct SwingRow {
    QString heading;
    QString unitHeading;
    QString deviation;
    QString mark;
    double top = 0.0;
};

// The words of page `page` that stand on the line of `at` between `left` and `right` inches.
QString Between(const PdfText& text, int page, const QRectF& at, double left, double right) {
    QStringList words;
    for (const PdfText::Word& word : text.words) {
        if (word.page == page && std::abs(word.box.top() - at.top()) < kNear &&
            word.box.left() > left - kNear && word.box.left() < right - kNear) {
            words << word.text;
        }
    }
    return words.join(' ');
}

// The rows of the swing's table on `page`: every three-digit heading in the table's first
// column (the plot's labels stand far to the right), top to bottom.
std::vector<SwingRow> SwingRows(const PdfText& text, int page) {
    static const QRegularExpression heading(R"(^\d\d\d$)");
    std::vector<SwingRow> rows;
    for (const PdfText::Word& word : text.words) {
        if (word.page == page && heading.match(word.text).hasMatch() &&
            std::abs(word.box.left() - 0.3) < kNear) {
            rows.push_back({word.text, Between(text, page, word.box, 1.2, 2.3),
                            Between(text, page, word.box, 2.3, 3.1),
                            Between(text, page, word.box, 3.1, 4.0), word.box.top()});
        }
    }
    std::sort(rows.begin(), rows.end(),
              [](const SwingRow& a, const SwingRow& b) { return a.top < b.top; });
    return rows;
}

TEST_F(InstallationReport, ASwingHasPageTwoToItselfUnderTheTitleAndTailNumber) {
    const QImage mountPicture = CMountPositionList().Find(8)->picture; // 174 x 174
    const struct {
        const char* name;
        int versionClass;
        QImage picture;
        int pagesWithout;     // the report without a swing
        QString firstOnPage3; // the first row that continues after the swing, if any
        QString lastRowOnPage1;
    } cases[] = {
        {"rows-on-one-page", 7, QImage(), 1, "", "Lvl Z Sensor WEST:"},
        {"rows-on-two-pages", 5, mountPicture, 2, "Eff Roll SOUTH:", "Eff Roll EAST:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        InstallationValues values = Values(c.versionClass, true);
        CInstallationReport without;
        BuildInstallationReport(without, values, c.picture);
        const PdfText plain = Printed(without, QStringLiteral("%1-plain").arg(c.name));
        EXPECT_EQ(plain.pages, c.pagesWithout);
        EXPECT_FALSE(plain.Find("Compass Swing"));

        values.swing = Swing();
        CInstallationReport report;
        BuildInstallationReport(report, values, c.picture);
        const PdfText text = Printed(report, c.name);
        ASSERT_EQ(text.pages, c.pagesWithout + 1);
        std::size_t from = 0;
        for (int page = 1; page <= text.pages; ++page) {
            const auto title = text.Find("Korvan HX410 AHRS Installation Report", from);
            const auto footer = text.Find(QStringLiteral("Page %1").arg(page));
            ASSERT_TRUE(title && footer) << page;
            EXPECT_EQ(title->page, page);
            EXPECT_NEAR(title->box.top(), 0.2, kNear);
            EXPECT_EQ(footer->page, page);
            from = title->end;
        }
        for (const PdfText::Word& word : text.words) {
            EXPECT_TRUE(word.box.bottom() < kFooterTop ||
                        std::abs(word.box.top() - kFooterTop) < kNear)
                << word.text.toStdString();
        }

        // Page 1 is as it was; the rows that do not fit it follow the swing.
        const auto last = text.Find(c.lastRowOnPage1);
        ASSERT_TRUE(last);
        EXPECT_EQ(last->page, 1);
        if (!c.firstOnPage3.isEmpty()) {
            const auto first = text.Find(c.firstOnPage3);
            ASSERT_TRUE(first);
            EXPECT_EQ(first->page, 3);
            EXPECT_NEAR(first->box.top(), 0.7, kNear);
        }

        // Page 2: the tail number at the first row's place, then the swing.
        const auto onPage2 = std::find_if(text.words.begin(), text.words.end(),
                                          [](const PdfText::Word& word) { return word.page == 2; });
        const struct {
            QString phrase;
            double top;
            QString beside; // the words to the right of it in the table's columns
        } lines[] = {
            {"Tail Number:", 0.7, "N123AB"},
            {"Compass Swing", 0.7 + 2 * kRow, ""},
            {"Tolerance: 2.00 degrees", 0.7 + 3 * kRow, ""},
            {"Heading", 0.7 + 5 * kRow, "Unit Heading Deviation"},
            {"Max Deviation: 3.25", 0.7 + 17 * kRow, ""},
        };
        for (const auto& line : lines) {
            SCOPED_TRACE(line.phrase.toStdString());
            const auto found =
                text.Find(line.phrase, static_cast<std::size_t>(onPage2 - text.words.begin()));
            ASSERT_TRUE(found);
            EXPECT_EQ(found->page, 2);
            EXPECT_NEAR(found->box.left(), 0.3, kNear);
            EXPECT_NEAR(found->box.top(), line.top, kNear);
            EXPECT_EQ(Between(text, 2, found->box, found->box.right() + kNear, 4.0), line.beside);
        }

        // Only the recorded lines, in heading order, one row apart under the column heads.
        const std::vector<SwingRow> expected{
            {"000", "359.20", "-0.80", ""},  {"030", "31.50", "1.50", ""},
            {"060", "62.75", "2.75", "*"},   {"120", "120.00", "0.00", ""},
            {"150", "147.50", "-2.50", "*"}, {"180", "181.00", "1.00", ""},
            {"210", "208.00", "-2.00", ""},  {"240", "242.01", "2.01", "*"},
            {"300", "299.50", "-0.50", ""},  {"330", "333.25", "3.25", "*"},
        };
        const std::vector<SwingRow> rows = SwingRows(text, 2);
        ASSERT_EQ(rows.size(), expected.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            SCOPED_TRACE(expected[i].heading.toStdString());
            EXPECT_EQ(rows[i].heading, expected[i].heading);
            EXPECT_EQ(rows[i].unitHeading, expected[i].unitHeading);
            EXPECT_EQ(rows[i].deviation, expected[i].deviation);
            EXPECT_EQ(rows[i].mark, expected[i].mark);
            EXPECT_NEAR(rows[i].top, 0.7 + (6 + static_cast<double>(i)) * kRow, kNear);
        }
    }

    // The swing's page as a person sees it.
    InstallationValues values = Values(5, true);
    values.swing = Swing();
    CInstallationReport full;
    BuildInstallationReport(full, values, mountPicture);
    const QString artifacts = QStringLiteral(HX410_ARTIFACTS_DIR);
    ASSERT_TRUE(QDir().mkpath(artifacts));
    EXPECT_TRUE(full.RenderPage(2, 150).save(artifacts + "/report-sample-page-2.png"));
}

TEST_F(InstallationReport, TheMarkStandsOnExactlyTheRowsBeyondTheTolerance) {
    const struct {
        double tolerance;
        QString said;
        QStringList marked;
    } cases[] = {
        {2.0, "Tolerance: 2.00 degrees", {"060", "150", "240", "330"}},
        {1.0, "Tolerance: 1.00 degrees", {"030", "060", "150", "210", "240", "330"}},
        {2.01, "Tolerance: 2.01 degrees", {"060", "150", "330"}},
        {3.25, "Tolerance: 3.25 degrees", {}},
        {0.0,
         "Tolerance: 0.00 degrees",
         {"000", "030", "060", "150", "180", "210", "240", "300", "330"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said.toStdString());
        InstallationValues values = Values(7, true);
        values.swing = Swing();
        values.swingToleranceDeg = c.tolerance;
        CInstallationReport report;
        BuildInstallationReport(report, values, QImage());
        const PdfText text = Printed(report, "marks");
        const auto said = text.Find(c.said);
        ASSERT_TRUE(said);
        EXPECT_EQ(said->page, 2);
        QStringList marked;
        for (const SwingRow& row : SwingRows(text, 2)) {
            EXPECT_TRUE(row.mark.isEmpty() || row.mark == "*") << row.mark.toStdString();
            if (!row.mark.isEmpty()) {
                marked << row.heading;
            }
        }
        EXPECT_EQ(marked, c.marked);
    }
}

TEST_F(InstallationReport, UnitHeadingsAreWrittenAsACompassShowsThem) {
    const struct {
        double recorded; // at line 000
        QString unitHeading;
        QString deviation;
    } cases[] = {
        {-0.8, "359.20", "-0.80"}, {359.999, "0.00", "0.00"}, {720.0, "0.00", "0.00"},
        {-359.5, "0.50", "0.50"},  {1.25, "1.25", "1.25"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.recorded);
        InstallationValues values = Values(7, true);
        values.swing.Record(0, c.recorded);
        CInstallationReport report;
        BuildInstallationReport(report, values, QImage());
        const std::vector<SwingRow> rows = SwingRows(Printed(report, "headings"), 2);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].heading, "000");
        EXPECT_EQ(rows[0].unitHeading, c.unitHeading);
        EXPECT_EQ(rows[0].deviation, c.deviation);
    }
}

} // namespace
