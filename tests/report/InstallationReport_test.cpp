#include "report/InstallationReport.h"

#include "PdfText.h"
#include "controls/QtTestApp.h"
#include "records/SampleValues.h"
#include "wizard/MountPositionList.h"

#include <QPdfWriter>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace {

constexpr double kRow = 1.0 / 6.0;
constexpr double kFooterTop = 10.45;
constexpr double kNear = PdfText::kNear;
const QString kTitle = QStringLiteral("Korvan HX410 AHRS Installation Report");

// Rows of the report below as printed, by their labels (South holds -0.004).
const std::pair<QString, QString> kValues[] = {{"HX410 Serial Number:", "A1234"},
                                               {"Install Software Version:", "1.0.0"},
                                               {"Tail Number:", "N123AB"},
                                               {"Shop Name:", "[%page%] Avionics [%bold%]"},
                                               {"Installer:", QStringLiteral("M\u00FCller")},
                                               {"Mount Position:", "Connector Forward"},
                                               {"Compass Correction North:", "1.25"},
                                               {"Compass Correction South:", "0.00"},
                                               {"Magnetic Variance:", "-12.30"},
                                               {"Raw X Sensor EAST:", "1013.00"},
                                               {"Eff Roll SOUTH:", "0.75"},
                                               {"Lvl Z Sensor WEST:", "7030.00"}};
const QRegularExpression kPrinted(R"(^\d\d/\d\d/\d\d \d\d:\d\d:\d\d$)");

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

// A compass swing with 090 and 270 not recorded (NaN), one deviation at exactly 2.00 (210),
// one just beyond it (240), and unit headings given below 0 and from 360 on.
CCompassSwing Swing(double atNorth = -0.8) {
    const double unitHeadings[] = {atNorth, 31.5,  62.75,  std::nan(""), 120.0, 147.5,
                                   181.0,   208.0, 602.01, std::nan(""), 299.5, 333.25};
    CCompassSwing swing;
    for (int line = 0; line < CCompassSwing::kLineCount; ++line) {
        swing.Record(line, unitHeadings[line]);
    }
    return swing;
}

// The rows of the swing's table on page 2 by their top, as "heading|unit heading|deviation|
// mark": every three-digit heading in the table's first column (the plot's labels stand far
// to the right).
std::map<double, std::string> SwingRows(const PdfText& text) {
    static const QRegularExpression heading(R"(^\d\d\d$)");
    std::map<double, std::string> rows;
    for (const PdfText::Word& word : text.words) {
        if (word.page == 2 && heading.match(word.text).hasMatch() &&
            std::abs(word.box.left() - 0.3) < kNear) {
            const QStringList columns{word.text, text.Between(2, word.box, 1.2, 2.3),
                                      text.Between(2, word.box, 2.3, 3.1),
                                      text.Between(2, word.box, 3.1, 4.0)};
            rows[word.box.top()] = columns.join('|').toStdString();
        }
    }
    return rows;
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
    PdfText Printed(const InstallationValues& values, const QImage& picture, const QString& name,
                    CInstallationReport& report) {
        BuildInstallationReport(report, values, picture);
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

// Rows stand at their places from the paper's edge, one row apart but for the mount's picture;
// those that do not fit page 1 continue on the next page, after the swing's page when there
// is a swing. The swing's page carries the tail number, the table and the largest deviation.
TEST_F(InstallationReport, EveryRowIsPrintedOnceInItsPlaceAndASwingHasAPageToItself) {
    const QImage mountPicture = CMountPositionList().Find(8)->picture; // 174 x 174
    const struct {
        const char* name;
        int versionClass;
        bool freeField;
        QImage picture;
        bool swing;
        int pages;
        QString firstOnNextPage;
        const char* artifact = nullptr; // page 1, or the swing's, kept for a person to see
    } cases[] = {{"full", 5, true, mountPicture, false, 2, "Eff Roll SOUTH:", "report.png"},
                 {"no-field-corrections", 8, true, mountPicture, false, 2, "Lvl Y Sensor NORTH:"},
                 {"no-picture", 7, true, QImage(), false, 1, ""},
                 {"small-picture", 3, false, Red(100, 40), false, 1, ""},
                 {"swing-after-the-rows", 7, true, QImage(), true, 2, ""},
                 {"swing-between-the-rows", 5, true, mountPicture, true, 3,
                  "Eff Roll SOUTH:", "report-sample-page-2.png"}};
    const QString artifacts = QStringLiteral(HX410_ARTIFACTS_DIR);
    ASSERT_TRUE(QDir().mkpath(artifacts));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        InstallationValues values = SampleValues();
        values.versionClass = c.versionClass;
        if (!c.freeField) {
            values.freeField.reset();
        }
        if (c.swing) {
            values.swing = Swing();
        }
        values.tailNumber = "N123\nAB\x1b";             // pasted: no row of its own, nothing raw
        values.installer = "M\xFCller\r\n";             // from an 8-bit identification file
        values.shopName = "[%page%] Avionics [%bold%]"; // typed: printed as it stands
        CInstallationReport report;
        const PdfText text = Printed(values, c.picture, c.name, report);
        ASSERT_EQ(text.pages, c.pages);
        EXPECT_TRUE(text.title.startsWith(kTitle + " - "));
        if (c.artifact != nullptr) {
            EXPECT_TRUE(report.RenderPage(c.swing ? 2 : 1, 150).save(artifacts + "/" + c.artifact));
        }
        EXPECT_EQ(text.Find("Compass Swing").has_value(), c.swing);
        std::size_t from = 0;
        for (int page = 1; page <= c.pages; ++page) {
            const auto title = text.Find(kTitle, from);
            const auto footer = text.Find(QStringLiteral("Page %1").arg(page));
            ASSERT_TRUE(title && footer) << page;
            EXPECT_EQ(title->page, page);
            EXPECT_NEAR(title->box.top(), 0.2, kNear);
            EXPECT_NEAR(title->box.center().x(), 4.25, kNear); // centred between 0.3 and 8.2 in
            EXPECT_EQ(footer->page, page);
            EXPECT_NEAR(footer->box.top(), kFooterTop, kNear);
            EXPECT_NEAR(footer->box.center().x(), 4.25, kNear);
            from = title->end;
        }
        for (const PdfText::Word& word : text.words) {
            EXPECT_TRUE(
                QRectF(0, 0, 8.5, 11.0).contains(word.box) &&
                (word.box.bottom() < kFooterTop || std::abs(word.box.top() - kFooterTop) < kNear))
                << word.text.toStdString();
        }

        // Each row once (the swing's page repeats the tail number), in order, with its value.
        const double pictureGap = c.picture.isNull() ? 0.0 : kRow + c.picture.height() * 0.015;
        const int nextPage = c.swing ? 3 : 2;
        std::optional<PdfText::Found> previous;
        QString previousLabel;
        const bool corrects = c.versionClass >= 3 && c.versionClass <= 7;
        for (const QString& label : RowLabels(corrects && c.freeField, corrects)) {
            SCOPED_TRACE(label.toStdString());
            const auto row = text.Find(label);
            ASSERT_TRUE(row);
            const auto again = text.Find(label, row->end);
            EXPECT_TRUE(!again || (c.swing && label == "Tail Number:" && again->page == 2));
            const QString value = text.Between(row->page, row->box, 2.3, 8.5);
            if (label == "Date:") {
                EXPECT_TRUE(kPrinted.match(value).hasMatch()) << value.toStdString();
            } else {
                EXPECT_FALSE(value.isEmpty());
            }
            for (const auto& [withValue, expected] : kValues) {
                EXPECT_TRUE(label != withValue || value == expected) << value.toStdString();
            }
            EXPECT_NEAR(row->box.left(), 0.3, kNear);
            int page = 1;
            double top = 0.7;
            if (label == c.firstOnNextPage) {
                page = nextPage;
                EXPECT_GT(previous->box.top() + 2 * kRow, kFooterTop); // it would have crossed
            } else if (previous) {
                page = previous->page;
                top = previous->box.top() + kRow;
                top += previousLabel == "Install Software Version:" ? kRow : 0.0;
                top += previousLabel == "Mount Position:" ? pictureGap : 0.0;
            }
            EXPECT_EQ(row->page, page);
            EXPECT_NEAR(row->box.top(), top, kNear);
            previous = row;
            previousLabel = label;
        }
        if (!c.picture.isNull() && c.picture.pixel(0, 0) == qRgb(255, 0, 0)) {
            // The picture stands under the mount row in the value column, 0.015 in per pixel.
            const QImage page = report.RenderPage(1, 100);
            const double top = text.Find("Mount Position:")->box.top() + kRow;
            const auto at = [&](double x, double y) {
                return page.pixel(qRound(x * 100), qRound((top + y) * 100));
            };
            EXPECT_EQ(at(2.3 + 0.75, 0.3), qRgb(255, 0, 0));
            for (const QPointF outside :
                 {QPointF(2.25, 0.3), QPointF(3.85, 0.3), QPointF(3, 0.65)}) {
                EXPECT_EQ(at(outside.x(), outside.y()), qRgb(255, 255, 255)) << outside.x();
            }
        }
        if (!c.swing) {
            continue;
        }

        const auto onPage2 = std::find_if(text.words.begin(), text.words.end(),
                                          [](const PdfText::Word& word) { return word.page == 2; });
        const struct {
            QString phrase;
            double top;
            QString beside; // the words to the right of it in the table's columns
        } lines[] = {{"Tail Number:", 0.7, "N123AB"},
                     {"Compass Swing", 0.7 + 2 * kRow, ""},
                     {"Tolerance: 2.00 degrees", 0.7 + 3 * kRow, ""},
                     {"Heading", 0.7 + 5 * kRow, "Unit Heading Deviation"},
                     {"Max Deviation: 3.25", 0.7 + 17 * kRow, ""}};
        for (const auto& line : lines) {
            SCOPED_TRACE(line.phrase.toStdString());
            const auto found = text.Find(line.phrase, onPage2 - text.words.begin());
            ASSERT_TRUE(found);
            EXPECT_EQ(found->page, 2);
            EXPECT_NEAR(found->box.left(), 0.3, kNear);
            EXPECT_NEAR(found->box.top(), line.top, kNear);
            EXPECT_EQ(text.Between(2, found->box, found->box.right() + kNear, 4.0), line.beside);
        }
        // Only the recorded lines, in heading order, one row apart under the column heads.
        const std::vector<std::string> expected{
            "000|359.20|-0.80|",  "030|31.50|1.50|",  "060|62.75|2.75|*",  "120|120.00|0.00|",
            "150|147.50|-2.50|*", "180|181.00|1.00|", "210|208.00|-2.00|", "240|242.01|2.01|*",
            "300|299.50|-0.50|",  "330|333.25|3.25|*"};
        std::vector<std::string> rows;
        for (const auto& [top, row] : SwingRows(text)) {
            EXPECT_NEAR(top, 0.7 + static_cast<double>(6 + rows.size()) * kRow, kNear) << row;
            rows.push_back(row);
        }
        EXPECT_EQ(rows, expected);
    }
    QFile::remove(artifacts + "/report-sample.pdf");
    EXPECT_TRUE(QFile::copy(folder.filePath("full.pdf"), artifacts + "/report-sample.pdf"));
}

// The mark stands on exactly the rows beyond the tolerance; a unit heading is written as a
// compass shows it, in [0, 360) after rounding.
TEST_F(InstallationReport, MarksFollowTheToleranceAndUnitHeadingsReadAsOnACompass) {
    const struct {
        double tolerance;
        double atNorth; // the unit heading recorded at 000
        QString said;
        std::string northRow;
        std::string marked; // the headings of the marked rows
    } cases[] = {
        {2.01, -0.8, "Tolerance: 2.01 degrees", "000|359.20|-0.80|", "060 150 330"},
        {3.25, 359.999, "Tolerance: 3.25 degrees", "000|0.00|0.00|", ""},
        {0.0, 720.0, "Tolerance: 0.00 degrees", "000|0.00|0.00|",
         "030 060 150 180 210 240 300 330"},
        {1.0, -359.5, "Tolerance: 1.00 degrees", "000|0.50|0.50|", "030 060 150 210 240 330"},
        {2.0, 1.25, "Tolerance: 2.00 degrees", "000|1.25|1.25|", "060 150 240 330"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said.toStdString());
        InstallationValues values = SampleValues();
        values.versionClass = 7;
        values.swing = Swing(c.atNorth);
        values.swingToleranceDeg = c.tolerance;
        CInstallationReport report;
        const PdfText text = Printed(values, QImage(), "marks", report);
        const auto said = text.Find(c.said);
        ASSERT_TRUE(said);
        EXPECT_EQ(said->page, 2);
        const std::map<double, std::string> rows = SwingRows(text);
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows.begin()->second, c.northRow);
        std::string marked;
        for (const auto& [top, row] : rows) {
            EXPECT_TRUE(row.ends_with('|') || row.ends_with("|*")) << row;
            if (row.ends_with("|*")) {
                marked += (marked.empty() ? "" : " ") + row.substr(0, 3);
            }
        }
        EXPECT_EQ(marked, c.marked);
    }
}

} // namespace
