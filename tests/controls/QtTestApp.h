#pragma once

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

// The QApplication every widget test needs, alive from before the first test to after the
// last, so gtest_main's main() serves.
struct QtTestApp : ::testing::Environment {
    int argc = 1;
    char name[16] = "controls-test";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QApplication> app;

    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen"); // also when run outside ctest
        app = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app.reset(); }
};

inline ::testing::Environment* const qtTestApp = ::testing::AddGlobalTestEnvironment(new QtTestApp);

// The widget as it paints itself; with `artifact`, also kept in the build's artifacts
// folder as controls-<artifact>.png for a person to look at.
inline QImage Render(QWidget& widget, const char* artifact = nullptr) {
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::magenta);
    widget.render(&image);
    if (artifact != nullptr) {
        const QString folder = QStringLiteral(HX410_ARTIFACTS_DIR);
        EXPECT_TRUE(QDir().mkpath(folder));
        EXPECT_TRUE(image.save(folder + QStringLiteral("/controls-%1.png").arg(artifact)));
    }
    return image;
}

// The pixels of `image` in `box` for which `wanted` holds.
inline std::vector<QPointF> Pixels(const QImage& image, const QRect& box,
                                   const std::function<bool(QRgb)>& wanted) {
    std::vector<QPointF> pixels;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
            if (wanted(image.pixel(x, y))) {
                pixels.emplace_back(x, y);
            }
        }
    }
    return pixels;
}
