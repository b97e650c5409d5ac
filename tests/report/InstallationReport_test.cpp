#include "report/InstallationReport.h"

#include "PdfText.h"
#include "controls/QtTestApp.h"
#include "records/SampleValues.h"
#include "wizard/MountPositionList.h"

#include <QFile>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <cmath>
#include <map>

namespace {

// A compass swing with 090 and 270 not recorded (NaN), one deviation at exactly 2.00 (210),
// one just beyond it (240), and unit headings given below 0 and from 360 on.
CCompassSwing Swing(double atNorth) {
    const double unitHeadings[] = {atNorth, 31.5,  62.75,  std::nan(""), 120.0, 147.5,
                                   181.0,   208.0, 602.01, std::nan(""), 299.5, 333.25};
    CCompassSwing swing;
    for (int line = 0; line < CCompassSwing::kLineCount; ++line) {
        swing.Record(line, unitHeadings[line]);
    }
    return swing;
}

// The expected rows of each case in installation-report.expected, after its "== name" line.
std::map<std::string, QStringList> ExpectedRows() {
    QFile file(QStringLiteral(HX410_TEST_DATA_DIR "/installation-report.expected"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    std::map<std::string, QStringList> sections;
    QStringList* section = nullptr;
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
        if (line.startsWith("== ")) {
            section = &sections[line.mid(3).toStdString()];
        } else if (section != nullptr && !line.isEmpty()) {
            *section << line;
        }
    }
    return sections;
}

// Rows that do not fit page 1 continue on the next page, after the swing's page when there is
// a swing; texts are printed as they were typed, without control characters.
TEST(InstallationReport, RowsAndTheSwingArePrintedOnTheirPages) {
    if (!HavePdfToText()) {
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    }
    const QImage mountPicture = CMountPositionList().Find(8)->picture; // 174 x 174
    QImage small(100, 40, QImage::Format_RGB32);
    small.fill(Qt::red);
    const struct {
        const char* name;
        int versionClass;
        bool freeField;
        QImage picture;
        std::optional<double> swingAtNorth;
        double tolerance;
        int pages;
    } cases[] = {{"full", 5, true, mountPicture, {}, 2.0, 2},
                 {"no-field-corrections", 8, true, mountPicture, {}, 2.0, 2},
                 {"no-picture", 7, true, QImage(), {}, 2.0, 1},
                 {"small-picture", 3, false, small, {}, 2.0, 1},
                 {"swing-after-the-rows", 7, true, QImage(), -0.8, 2.0, 2},
                 {"swing-between-the-rows", 5, true, mountPicture, -0.8, 2.0, 3},
                 {"swing-tolerance-2.01", 7, true, QImage(), -0.8, 2.01, 2},
                 {"swing-tolerance-3.25", 7, true, QImage(), 359.999, 3.25, 2},
                 {"swing-tolerance-0", 7, true, QImage(), 720.0, 0.0, 2},
                 {"swing-tolerance-1", 7, true, QImage(), -359.5, 1.0, 2},
                 {"swing-tolerance-2", 7, true, QImage(), 1.25, 2.0, 2}};
    const std::map<std::string, QStringList> expected = ExpectedRows();
    const QRegularExpression printed(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d)");
    QTemporaryDir folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        InstallationValues values = SampleValues();
        values.versionClass = c.versionClass;
        if (!c.freeField) {
            values.freeField.reset();
        }
        if (c.swingAtNorth) {
            values.swing = Swing(*c.swingAtNorth);
        }
        values.swingToleranceDeg = c.tolerance;
        values.tailNumber = "N123\nAB\x1b";             // pasted: no row of its own, nothing raw
        values.installer = "M\xFCller\r\n";             // from an 8-bit identification file
        values.shopName = "[%page%] Avionics [%bold%]"; // typed: printed as it stands
        CInstallationReport report;
        BuildInstallationReport(report, values, c.picture);
        // Letter size at 600 dpi on a device whose printable area starts 0.25 in from the left
        // edge and 0.2 in from the top.
        const QString pdfPath = folder.filePath(QString(c.name) + ".pdf");
        QPdfWriter pdf(pdfPath);
        pdf.setResolution(600);
        pdf.setPageSize(QPageSize(QPageSize::Letter));
        pdf.setPageMargins(QMarginsF(0.25, 0.2, 0.25, 0.25), QPageLayout::Inch);
        ASSERT_TRUE(report.Print(pdf));
        const std::optional<PdfText> text = ReadPdfText(pdfPath);
        ASSERT_TRUE(text);
        EXPECT_EQ(text->pages, c.pages);
        EXPECT_TRUE(text->title.startsWith("Korvan HX410 AHRS Installation Report - "));
        for (const PdfText::Word& word : text->words) { // inside the paper, above the footer
            const double footerTop = 10.45;
            EXPECT_TRUE(
                QRectF(0, 0, 8.5, 11.0).contains(word.box) &&
                (word.box.bottom() < footerTop || std::abs(word.box.top() - footerTop) < 0.01))
                << word.text.toStdString();
        }
        const QStringList& want = expected.at(c.name);
        QStringList rows;
        for (QString row : text->Rows()) { // a section may list the swing's page alone
            if (!want.filter(QRegularExpression('^' + row.section(' ', 0, 0) + ' ')).isEmpty()) {
                rows << row.replace(printed, "<printed>");
            }
        }
        EXPECT_EQ(rows.join('\n').toStdString(), want.join('\n').toStdString());
        if (c.name == std::string("full")) { // kept for a person to look at
            const QString artifacts = QStringLiteral(HX410_ARTIFACTS_DIR);
            ASSERT_TRUE(QDir().mkpath(artifacts));
            EXPECT_TRUE(report.RenderPage(1, 150).save(artifacts + "/report.png"));
            QFile::remove(artifacts + "/report-sample.pdf");
            EXPECT_TRUE(QFile::copy(pdfPath, artifacts + "/report-sample.pdf"));
        }
    }
}

} // namespace
