#pragma once

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>

// The QCoreApplication whose event loop runs the steps' timers, alive from before the first
// test to after the last, so gtest_main's main() serves.
struct QtCoreTestApp : ::testing::Environment {
    int argc = 1;
    char name[16] = "procedure-test";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QCoreApplication> app;

    void SetUp() override { app = std::make_unique<QCoreApplication>(argc, argv); }
    void TearDown() override { app.reset(); }
};

inline ::testing::Environment* const qtCoreTestApp =
    ::testing::AddGlobalTestEnvironment(new QtCoreTestApp);
