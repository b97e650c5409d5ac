#include "report/InstallationReport.h"

#include "device/FixedPoint.h"
#include "records/CalibrationMath.h"
#include "records/PlainText.h"
#include "report/DrawField.h"
#include "report/DrawPicture.h"
#include "report/DrawSwingPlot.h"

#include <QDate>

#include <array>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

namespace {

// Positions in inches from the paper's top-left corner.
constexpr double kLeft = 0.3;
constexpr double kValueLeft = 2.3;
constexpr double kRight = 8.2;
constexpr double kRowHeight = 1.0 / 6.0;
constexpr double kTitleTop = 0.2;
constexpr double kFirstRowTop = 0.7;
constexpr double kFooterTop = 10.45;
constexpr double kFooterBottom = 11.0;
constexpr double kInchesPerPicturePixel = 0.015;
// The compass swing's page: its table's columns, and the plot to the right of the table.
constexpr double kSwingUnitLeft = 1.2;
constexpr double kSwingDeviationLeft = kValueLeft;
constexpr double kSwingMarkLeft = 3.1;
constexpr double kSwingTableRight = 3.5;
constexpr double kSwingPlotLeft = 4.4;
// Rows are placed by adding sixths of an inch; this absorbs the rounding of the sums.
constexpr double kSlack = 1e-9;

const QString kTitle = QStringLiteral("Korvan HX410 AHRS Installation Report");

// One row of the report: a label, its value, and for the mount position the picture under it.
struct Row {
    Row(QString label, std::optional<QString> value)
        : label(std::move(label)), value(std::move(value)) {}

    QString label;
    std::optional<QString> value;
    QString fieldName;        // the value is a field of this name when not empty
    QImage picture;           // drawn under the row when not null
    double spaceBefore = 0.0; // an empty row before this one

    double PictureHeight() const { return picture.height() * kInchesPerPicturePixel; }
    // What must fit above the footer.
    double Height() const { return kRowHeight + (picture.isNull() ? 0.0 : PictureHeight()); }
    // From this row's top to the next row's top.
    double Advance() const { return picture.isNull() ? kRowHeight : Height() + kRowHeight; }
};

// A text as the technician reads it: no control character (a line break would start a row of
// its own), and bytes of an 8-bit file shown as Latin-1 characters.
QString Text(const std::string& text) {
    return QString::fromStdString(PrintableUtf8(text));
}

// Two decimals with a point whatever the user's locale, as in the log.
QString Fixed(double value) {
    return QString::fromStdString(FixedPoint(value, 2));
}

// A heading as a compass shows it, from 0.00 up to 359.99: a unit may give 359.2 as -0.8.
QString CompassHeading(double deg) {
    double wrapped = std::fmod(deg, 360.0);
    if (wrapped < 0.0) {
        wrapped += 360.0;
    }
    const QString text = Fixed(wrapped);
    return text == QLatin1String("360.00") ? QStringLiteral("0.00") : text;
}

// The measurement tables run North, East, South, West.
void AddHeadingRows(std::vector<Row>& rows, const QString& quantity,
                    const std::array<double, 4>& byHeading) {
    for (const int heading : kCompassWalk) {
        rows.push_back({quantity + QLatin1Char(' ') +
                            QString::fromLatin1(kHeadingNames[heading]).toUpper() +
                            QLatin1Char(':'),
                        Fixed(byHeading[static_cast<std::size_t>(heading)])});
    }
}

std::vector<Row> ReportRows(const InstallationValues& values, const QImage& mountPicture) {
    std::vector<Row> rows{
        {QStringLiteral("Date:"), QStringLiteral("[%date%] [%time%]")},
        {QStringLiteral("HX410 Serial Number:"), Text(values.ahrsSerialNumber)},
        {QStringLiteral("HX410 Software Version:"), Text(values.ahrsVersion)},
        {QStringLiteral("RQ270 Serial Number:"), Text(values.magSerialNumber)},
        {QStringLiteral("RQ270 Software Version:"), Text(values.magVersion)},
        {QStringLiteral("Install Software Version:"), Text(values.programVersion)},
    };
    rows.front().fieldName = QStringLiteral("Date"); // filled in when printed

    Row tailNumber(QStringLiteral("Tail Number:"), Text(values.tailNumber));
    tailNumber.spaceBefore = kRowHeight; // an empty row between the units and the installation
    rows.push_back(tailNumber);
    rows.emplace_back(QStringLiteral("Shop Name:"), Text(values.shopName));
    rows.emplace_back(QStringLiteral("Installer:"), Text(values.installer));

    Row mount{QStringLiteral("Mount Position:"), std::nullopt};
    if (values.mountLabel) {
        mount.value = Text(*values.mountLabel);
        mount.picture = mountPicture;
    }
    rows.push_back(mount);

    const std::array<QString, 3> axes{QStringLiteral("X"), QStringLiteral("Y"),
                                      QStringLiteral("Z")};
    if (values.HasMagFieldCorrections() && values.freeField) {
        for (std::size_t axis = 0; axis < 3; ++axis) {
            rows.push_back({QStringLiteral("Free-Field %1:").arg(axes[axis]),
                            QString::number((*values.freeField)[axis])});
        }
    }
    if (values.HasMagFieldCorrections()) {
        for (std::size_t axis = 0; axis < 3; ++axis) {
            rows.push_back({QStringLiteral("Bias Correction %1:").arg(axes[axis]),
                            QString::number(values.magFieldCorrection[axis])});
        }
    }

    // Compass corrections run North, South, East, West, as the heading index does.
    for (std::size_t heading = 0; heading < 4; ++heading) {
        rows.push_back({QStringLiteral("Compass Correction %1:")
                            .arg(QString::fromLatin1(kHeadingNames[heading])),
                        Fixed(values.mcc[heading])});
    }
    rows.push_back({QStringLiteral("Magnetic Variance:"),
                    QString::fromStdString(FixedOrNotRead(values.magneticVariation))});
    rows.push_back(
        {QStringLiteral("Latitude:"), QString::fromStdString(FixedOrNotRead(values.latitude))});

    AddHeadingRows(rows, QStringLiteral("Raw X Sensor"), values.rawMagX);
    AddHeadingRows(rows, QStringLiteral("Raw Y Sensor"), values.rawMagY);
    AddHeadingRows(rows, QStringLiteral("Raw Z Sensor"), values.rawMagZ);
    AddHeadingRows(rows, QStringLiteral("Eff Pitch"), values.effPitch);
    AddHeadingRows(rows, QStringLiteral("Eff Roll"), values.effRoll);
    AddHeadingRows(rows, QStringLiteral("Lvl X Sensor"), values.levelMagX);
    AddHeadingRows(rows, QStringLiteral("Lvl Y Sensor"), values.levelMagY);
    AddHeadingRows(rows, QStringLiteral("Lvl Z Sensor"), values.levelMagZ);
    return rows;
}

TextStyle RowStyle() {
    return TextStyle{};
}

TextStyle TitleStyle() {
    TextStyle style;
    style.size = 150;
    style.bold = true;
    style.align = TextStyle::Align::Centre;
    return style;
}

TextStyle HeadingStyle() {
    TextStyle style;
    style.bold = true;
    return style;
}

TextStyle FooterStyle() {
    TextStyle style;
    style.align = TextStyle::Align::Centre;
    return style;
}

template <typename Label>
void AddText(CReportGenerator& report, int section, const TextStyle& style, const QString& text,
             const InchRect& at, const QString& name = {}, bool verbatim = false) {
    auto label = std::make_unique<Label>(style);
    label->SetRect(at.left, at.top, at.right, at.bottom);
    label->SetText(text);
    label->SetName(name);
    label->SetVerbatim(verbatim);
    report.AddObject(std::move(label), section);
}

// A new page of the report with its title and footer; returns its section.
int AddPage(CReportGenerator& report, CContainer::Type type) {
    const int section = report.AddContainer(type);
    AddText<CDrawLabel>(report, section, TitleStyle(), kTitle,
                        {kTitleTop, kLeft, kRight, kFirstRowTop});
    AddText<CDrawField>(report, section, FooterStyle(), QStringLiteral("Page [%page%]"),
                        {kFooterTop, kLeft, kRight, kFooterBottom}, QStringLiteral("Footer"));
    return section;
}

void AddRow(CReportGenerator& report, int section, const Row& row, double top) {
    const double bottom = top + kRowHeight;
    AddText<CDrawLabel>(report, section, RowStyle(), row.label, {top, kLeft, kValueLeft, bottom});
    if (row.value && row.fieldName.isEmpty()) {
        // Values are data: a tail number such as "[%page%]" is printed as typed.
        AddText<CDrawLabel>(report, section, RowStyle(), *row.value,
                            {top, kValueLeft, kRight, bottom}, {}, true);
    } else if (row.value) {
        AddText<CDrawField>(report, section, RowStyle(), *row.value,
                            {top, kValueLeft, kRight, bottom}, row.fieldName);
    }
    if (!row.picture.isNull()) {
        auto picture = std::make_unique<CDrawPicture>();
        picture->SetRect(kValueLeft, bottom,
                         kValueLeft + row.picture.width() * kInchesPerPicturePixel,
                         bottom + row.PictureHeight());
        picture->SetPicture(row.picture);
        report.AddObject(std::move(picture), section);
    }
}

// The compass swing as the card that goes with the aircraft's papers, on a page of its own that
// carries the tail number, so that a loose page still tells which aircraft it belongs to: the
// tolerance, a row for each recorded line with a mark where the deviation is beyond the
// tolerance, the largest deviation, and the plot beside the table.
void AddSwingPage(CReportGenerator& report, const InstallationValues& values) {
    const int section = AddPage(report, CContainer::Type::SinglePage);
    double top = kFirstRowTop;
    AddRow(report, section, Row(QStringLiteral("Tail Number:"), Text(values.tailNumber)), top);
    top += 2 * kRowHeight;

    auto plot = std::make_unique<CDrawSwingPlot>(values.swing, values.swingToleranceDeg);
    plot->SetRect(kSwingPlotLeft, top, kRight, top + (kRight - kSwingPlotLeft));
    report.AddObject(std::move(plot), section);

    const auto line = [&](const TextStyle& style, const QString& text, double left, double right) {
        AddText<CDrawLabel>(report, section, style, text, {top, left, right, top + kRowHeight});
    };
    line(HeadingStyle(), QStringLiteral("Compass Swing"), kLeft, kSwingTableRight);
    top += kRowHeight;
    line(RowStyle(), QStringLiteral("Tolerance: %1 degrees").arg(Fixed(values.swingToleranceDeg)),
         kLeft, kSwingTableRight);
    top += 2 * kRowHeight;

    line(HeadingStyle(), QStringLiteral("Heading"), kLeft, kSwingUnitLeft);
    line(HeadingStyle(), QStringLiteral("Unit Heading"), kSwingUnitLeft, kSwingDeviationLeft);
    line(HeadingStyle(), QStringLiteral("Deviation"), kSwingDeviationLeft, kSwingMarkLeft);
    for (int index = 0; index < CCompassSwing::kLineCount; ++index) {
        const std::optional<double> unitHeading = values.swing.UnitHeadingAt(index);
        const std::optional<double> deviation = values.swing.DeviationAt(index);
        if (!unitHeading || !deviation) {
            continue;
        }
        top += kRowHeight;
        line(RowStyle(), QString::fromStdString(CCompassSwing::LineLabel(index)), kLeft,
             kSwingUnitLeft);
        line(RowStyle(), CompassHeading(*unitHeading), kSwingUnitLeft, kSwingDeviationLeft);
        line(RowStyle(), Fixed(*deviation), kSwingDeviationLeft, kSwingMarkLeft);
        if (values.swing.Exceeds(index, values.swingToleranceDeg)) {
            line(RowStyle(), QStringLiteral("*"), kSwingMarkLeft, kSwingTableRight);
        }
    }
    top += 2 * kRowHeight;
    line(RowStyle(),
         QStringLiteral("Max Deviation: %1").arg(Fixed(values.swing.MaxDeviation().value_or(0.0))),
         kLeft, kSwingTableRight);
}

} // namespace

void BuildInstallationReport(CInstallationReport& report, const InstallationValues& values,
                             const QImage& mountPicture) {
    report.Clear();
    report.SetName(kTitle + QStringLiteral(" - ") +
                   QDate::currentDate().toString(QStringLiteral("MMddyyyy")));

    // Every row keeps its place on the first page while it ends above the footer; a row that
    // would reach into the footer starts a further page at the first row's top, and the rows
    // after it follow at their usual spacing.
    int section = AddPage(report, CContainer::Type::FirstPage);
    // The compass swing is always page 2, whether the rows fit on page 1 or not: pages follow
    // their sections' order, so the rows' further pages come after it.
    if (!values.swing.Empty()) {
        AddSwingPage(report, values);
    }
    double top = kFirstRowTop;
    for (const Row& row : ReportRows(values, mountPicture)) {
        top += row.spaceBefore;
        if (top + row.Height() > kFooterTop + kSlack && top > kFirstRowTop + kSlack) {
            section = AddPage(report, CContainer::Type::SinglePage);
            top = kFirstRowTop;
        }
        AddRow(report, section, row, top);
        top += row.Advance();
    }
}
