#include "report/ReportGenerator.h"

#include "controls/QtTestApp.h"
#include "records/CaseTable.h"

#include <QPainter>
#include <QPdfWriter>

#include <map>
#include <sstream>

namespace {

const QDateTime kPrinted(QDate(2024, 3, 7), QTime(9, 5, 3));

TEST(PageContext, InchesAndPointsBecomeDevicePixelsFromThePapersEdge) {
    const CPageContext atEdge(600, {0, 0}, 1, kPrinted);
    const CPageContext inset(600, {150, 90}, 1, kPrinted); // a printer's unprintable margin
    EXPECT_EQ(atEdge.ToDevice({0.2, 0.3, 8.2, 0.7}), QRect(QPoint(180, 120), QPoint(4919, 419)));
    EXPECT_EQ(inset.ToDevice({0.2, 0.3, 8.2, 0.7}), QRect(QPoint(30, 30), QPoint(4769, 329)));
    EXPECT_EQ(atEdge.ToPixels(0.00249), 1); // rounded half up
    EXPECT_EQ(atEdge.ToPixels(0.0025), 2);
    EXPECT_EQ(atEdge.CellHeight(150), 125); // from points
}

TEST(PageContext, KeywordsBecomePageDateAndTime) {
    const CPageContext context(600, {}, 12, kPrinted);
    EXPECT_EQ(context.Substitute("Page [%page%] of [%page%]"), "Page 12 of 12");
    EXPECT_EQ(context.Substitute("[%date%] [%time%]"), "03/07/24 09:05:03");
    EXPECT_EQ(context.Substitute("[%bold%]Plain [%page"), "[%bold%]Plain [%page");
}

// Records which section drew on which page.
struct CDrawnMark : CDrawObject {
    CDrawnMark(std::vector<std::pair<int, int>>& drawn, int section)
        : drawn(drawn), section(section) {}
    void Draw(QPainter& /*painter*/, const CPageContext& context) const override {
        drawn.emplace_back(context.Page(), section);
    }
    std::vector<std::pair<int, int>>& drawn;
    int section;
};

TEST(ReportGenerator, EachPageDrawsTheLastSectionThatCoversIt) {
    const std::map<std::string, CContainer::Type> types{{"first", CContainer::Type::FirstPage},
                                                        {"single", CContainer::Type::SinglePage},
                                                        {"flowing", CContainer::Type::Flowing}};
    for (const auto& c : CaseTable("report-sections.txt")) {
        std::vector<std::pair<int, int>> drawn;
        CReportGenerator report;
        std::istringstream in(c[0]);
        for (std::string type; in >> type;) {
            const int section = report.AddContainer(types.at(type));
            report.AddObject(std::make_unique<CDrawnMark>(drawn, section), section);
        }
        QImage image(8, 8, QImage::Format_RGB32);
        QPainter painter(&image);
        for (int page = 1; page <= report.Paginate() + 1; ++page) {
            report.DrawPage(painter, page, kPrinted);
        }
        std::string pages = std::to_string(report.Paginate()) + " pages:";
        for (const auto& [page, section] : drawn) {
            pages += ' ' + std::to_string(page) + ':' + std::to_string(section);
        }
        EXPECT_EQ(pages, c[1]) << c[0];
    }
}

TEST(ReportGenerator, PrintReportsAJobThatCannotStart) {
    CReportGenerator report;
    report.AddContainer(CContainer::Type::FirstPage);
    QPdfWriter pdf(QStringLiteral("/nonexistent-hx410/report.pdf"));
    EXPECT_FALSE(report.Print(pdf));
}

} // namespace
