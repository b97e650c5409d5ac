#include "report/ReportGenerator.h"

#include "controls/QtTestApp.h"

#include <QPainter>
#include <QPdfWriter>

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
    using T = CContainer::Type;
    const struct {
        std::vector<T> types;
        std::vector<int> sectionOnPage; // from page 1
    } cases[] = {{{T::FirstPage}, {0}},
                 {{T::Flowing}, {0}},
                 {{T::FirstPage, T::SinglePage, T::SinglePage}, {0, 1, 2}},
                 {{T::FirstPage, T::FirstPage}, {1}},
                 {{T::Flowing, T::FirstPage}, {1}},
                 {{T::SinglePage, T::Flowing}, {0, 1}},
                 {{}, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.types.size() << " sections");
        std::vector<std::pair<int, int>> drawn, expected;
        CReportGenerator report;
        for (const T type : c.types) {
            const int section = report.AddContainer(type);
            report.AddObject(std::make_unique<CDrawnMark>(drawn, section), section);
        }
        for (std::size_t i = 0; i < c.sectionOnPage.size(); ++i) {
            expected.emplace_back(static_cast<int>(i) + 1, c.sectionOnPage[i]);
        }
        ASSERT_EQ(report.Paginate(), static_cast<int>(expected.size()));
        QImage image(8, 8, QImage::Format_RGB32);
        QPainter painter(&image);
        for (int page = 1; page <= report.Paginate() + 1; ++page) {
            report.DrawPage(painter, page, kPrinted);
        }
        EXPECT_EQ(drawn, expected);
    }
}

TEST(ReportGenerator, PrintReportsAJobThatCannotStart) {
    CReportGenerator report;
    report.AddContainer(CContainer::Type::FirstPage);
    QPdfWriter pdf(QStringLiteral("/nonexistent-hx410/report.pdf"));
    EXPECT_FALSE(report.Print(pdf));
}

} // namespace
