#pragma once

// A link to a simulated unit in the test's own process, on the test thread's Qt event loop,
// with a step context for the procedures under test.

#include "device/AhrsLink.h"
#include "device/SimTransport.h"
#include "procedure/CoreUiThread.h"
#include "procedure/StepContext.h"
#include "records/TempDir.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

// The QCoreApplication whose event loop runs the steps' timers.
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

class CProcedureFixture : public ::testing::Test {
public:
    static constexpr double kScale = 20.0;
    static constexpr double kRunBoundMs = 60000; // what a test waits for at the most
    static constexpr int kPort = 3;

protected:
    CProcedureFixture() : timeBase(kScale), ui(timeBase) {
        places = {dir / "ports", dir / "dev", dir / "sys"};
        std::filesystem::create_directories(places.portsDir);
        std::filesystem::create_directories(places.devRoot);
        std::filesystem::create_symlink("/dev/hx410-in-process",
                                        std::filesystem::path(places.portsDir) /
                                            ("COM" + std::to_string(kPort)));
        config.ahrsVersion = "HX410 V1.35b";
        config.warmupMs = 0;
        NewUnit();
    }
    ~CProcedureFixture() override {
        context.reset();
        link.reset();
    }

    // Replaces the unit, the link and the step context with new ones made from `config`.
    void NewUnit() {
        context.reset();
        link.reset();
        auto transport = std::make_unique<CSimTransport>(timeBase, config);
        unit = transport.get();
        link = std::make_unique<CAhrsLink>(ui, timeBase, places, std::move(transport));
        context = std::make_unique<CStepContext>(*link, timeBase);
    }

    // Opens the link and waits until the unit shows output page C (with the mount position).
    void OpenOnPageC() {
        ASSERT_TRUE(link->Open(kPort));
        ASSERT_TRUE(RunUntil([&] { return link->IsLinkAlive(); }));
        ASSERT_TRUE(link->SelectOutputPage('C'));
        ASSERT_TRUE(RunUntil([&] { return link->State().GetMountPosition() == config.mount; }));
    }

    // Runs the event loop until `done` holds or `programMs` have passed; the last `done`.
    bool RunUntil(const std::function<bool()>& done, double programMs = kRunBoundMs) {
        const double untilMs = timeBase.NowMs() + programMs;
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (done() || timeBase.NowMs() >= untilMs) {
                loop.quit();
            }
        });
        poll.start(1);
        if (!done()) {
            loop.exec();
        }
        return done();
    }

    // Runs the event loop until `task` has finished; its result, or none (after cancelling
    // the step and letting it unwind) when it had not finished within the bound.
    template <class T> std::optional<T> Finish(QCoro::Task<T> task) {
        std::optional<T> result;
        QCoro::Task<void> keeper = Collect(std::move(task), result);
        if (!RunUntil([&] { return result.has_value(); })) {
            ADD_FAILURE() << "the step did not finish within the bound";
            if (context) {
                context->Cancel();
            }
            RunUntil([&] { return result.has_value(); });
            result.reset();
        }
        return result;
    }

    // One value of the unit's "state" listing.
    std::string UnitState(const std::string& name) {
        std::istringstream lines(unit->Command("state"));
        for (std::string line; std::getline(lines, line);) {
            if (line.starts_with(name + "=")) {
                return line.substr(name.size() + 1);
            }
        }
        return "";
    }

    SimUnitConfig config;
    CTimeBase timeBase;
    CCoreUiThread ui;
    CTempDir dir;
    ComPortPlaces places;
    CSimTransport* unit = nullptr;
    std::unique_ptr<CAhrsLink> link;
    std::unique_ptr<CStepContext> context;

private:
    template <class T>
    static QCoro::Task<void> Collect(QCoro::Task<T> task, std::optional<T>& result) {
        result = co_await task;
    }
};
