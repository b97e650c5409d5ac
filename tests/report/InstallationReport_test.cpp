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

// The cases of installation-report.expected: the "== " line's fields, then the expected rows.
std::vector<QStringList> Cases() {
    QFile file(QStringLiteral(HX410_TEST_DATA_DIR "/installation-report.expected"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    std::vector<QStringList> cases;
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
        if (line.startsWith("== ")) {
            cases.push_back({line.mid(3).split(" | ")});
        } else if (!cases.empty() && !line.isEmpty()) {
            cases.back() << line;
        }
    }
    EXPECT_EQ(cases.size(), 11u);
    for (const QStringList& c : cases) {
        EXPECT_GT(c.size(), 7) << c.join(" | ").toStdString() << ": no expected rows";
    }
    return cases;
}

// Rows that do not fit page 1 continue after the swing's page 2; texts print without controls.
TEST(InstallationReport, RowsAndTheSwingArePrintedOnTheirPages) {
    if (!HavePdfToText()) {
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    }
    QImage small(100, 40, QImage::Format_RGB32);
    small.fill(Qt::red);
    const std::map<QString, QImage> pictures{
        {"mount", CMountPositionList().Find(8)->picture}, {"small", small}, {"none", QImage()}};
    const QRegularExpression printed(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d)");
    QTemporaryDir folder;
    for (const QStringList& c : Cases()) {
        SCOPED_TRACE(c[0].toStdString());
        InstallationValues values = SampleValues();
        values.versionClass = c[1].toInt();
        if (c[2] != "free field") {
            values.freeField.reset();
        }
        if (c[4] != "no swing") {
            values.swing = Swing(c[4].toDouble());
        }
        values.swingToleranceDeg = c[5].toDouble();
        values.tailNumber = "N123\nAB\x1b";             // pasted: no row of its own, nothing raw
        values.installer = "M\xFCller\r\n";             // from an 8-bit identification file
        values.shopName = "[%page%] Avionics [%bold%]"; // typed: printed as it stands
        CInstallationReport report;
        BuildInstallationReport(report, values, pictures.at(c[3]));
        // Letter size at 600 dpi on a device whose printable area starts 0.25 in from the left
        // edge and 0.2 in from the top.
        const QString pdfPath = folder.filePath(c[0] + ".pdf");
        QPdfWriter pdf(pdfPath);
        pdf.setResolution(600);
        pdf.setPageSize(QPageSize(QPageSize::Letter));
        pdf.setPageMargins(QMarginsF(0.25, 0.2, 0.25, 0.25), QPageLayout::Inch);
        ASSERT_TRUE(report.Print(pdf));
        const std::optional<PdfText> text = ReadPdfText(pdfPath);
        ASSERT_TRUE(text);
        EXPECT_EQ(text->pages, c[6].toInt());
        for (const PdfText::Word& word : text->words) { // inside the paper, above the footer
            const double footerTop = 10.45;
            EXPECT_TRUE(
                QRectF(0, 0, 8.5, 11.0).contains(word.box) &&
                (word.box.bottom() < footerTop || std::abs(word.box.top() - footerTop) < 0.01))
                << word.text.toStdString();
        }
        const QStringList want = c.mid(7);
        QStringList rows;
        for (QString row : text->Rows()) { // a case may list the swing's page alone
            if (!want.filter(QRegularExpression('^' + row.section(' ', 0, 0) + ' ')).isEmpty()) {
                rows << row.replace(printed, "<printed>");
            }
        }
        EXPECT_EQ(rows.join('\n').toStdString(), want.join('\n').toStdString());
        if (c[0] == "full") { // kept for a person to look at
            const QString artifacts = QStringLiteral(HX410_ARTIFACTS_DIR);
            ASSERT_TRUE(QDir().mkpath(artifacts));
            EXPECT_TRUE(report.RenderPage(1, 150).save(artifacts + "/report.png"));
        }
    }
}

} // namespace
