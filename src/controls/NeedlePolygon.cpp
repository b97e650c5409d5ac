#include "controls/NeedlePolygon.h"

#include <QFile>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

// Registers the compiled-in resources of this library; the call pulls their initialiser out
// of the static library, which the linker would otherwise drop as unreferenced.
static void InitControlsResources() {
    Q_INIT_RESOURCE(controls);
}

namespace {

constexpr double kDegreesToRadians = 0.002777777777777778 * 6.283185307;

// Reads a decimal integer after optional blanks and an optional sign; advances `text`
// past it.
std::optional<int> ReadInteger(std::string_view& text) {
    const std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        return std::nullopt;
    }
    text.remove_prefix(start);
    if (text.starts_with('+')) {
        text.remove_prefix(1);
    }
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc()) {
        return std::nullopt;
    }
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return value;
}

std::optional<QPointF> ReadVertex(std::string_view line) {
    const std::optional<int> x = ReadInteger(line);
    const std::size_t comma = line.find_first_not_of(" \t");
    if (!x || comma == std::string_view::npos || line[comma] != ',') {
        return std::nullopt;
    }
    line.remove_prefix(comma + 1);
    const std::optional<int> y = ReadInteger(line);
    if (!y) {
        return std::nullopt;
    }
    return QPointF(*x, *y);
}

} // namespace

bool CNeedlePolygon::LoadResource(int id) {
    InitControlsResources();
    QFile file(QStringLiteral(":/POINTS/%1").arg(id));
    if (!file.open(QIODevice::ReadOnly)) {
        LoadText({});
        return false;
    }
    const QByteArray bytes = file.readAll();
    LoadText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    return !source.empty();
}

void CNeedlePolygon::LoadText(std::string_view text) {
    source.clear();
    rotated.clear();
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (const std::optional<QPointF> vertex = ReadVertex(text.substr(0, end))) {
            source.push_back(*vertex);
        }
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
}

const QPolygon& CNeedlePolygon::Rotate(double angle, double scale) {
    if (angle == cachedAngle && scale == cachedScale &&
        static_cast<std::size_t>(rotated.size()) == source.size()) {
        return rotated;
    }
    cachedAngle = angle;
    cachedScale = scale;
    rotated.clear();
    const double t = angle * kDegreesToRadians;
    const double cosT = std::cos(t);
    const double sinT = std::sin(t);
    for (const QPointF& p : source) {
        const double x = (cosT * p.x() - sinT * p.y()) * scale + 0.5;
        const double y = (cosT * p.y() + sinT * p.x()) * scale + 0.5;
        rotated.append(QPoint(static_cast<int>(x), static_cast<int>(y)));
    }
    return rotated;
}

int CNeedlePolygon::Reach(double scale) const {
    double farthest = 0.0;
    for (const QPointF& p : source) {
        farthest = std::max(farthest, std::hypot(p.x(), p.y()));
    }
    return static_cast<int>(std::ceil(farthest * scale));
}
