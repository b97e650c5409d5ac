#pragma once

// The simulated unit in the test's own process: a transport whose reader thread steps the
// simulator's model on the test's time base and hands the link what the unit prints, and
// whose writes are the unit's commands. No pseudo-terminal and no second process; the
// simulator still speaks the protocol from its own model, not from the link's code.

#include "device/TimeBase.h"
#include "device/Transport.h"
#include "sim/ControlCommands.h"
#include "sim/SimDevice.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class CSimTransport : public ITransport {
public:
    CSimTransport(CTimeBase timeBase, const SimUnitConfig& config, const MagModelParams& model = {})
        : timeBase(timeBase),
          device(config, model, 20.0 * std::max(1.0, timeBase.Scale()), config.seed ^ 0x5eedu),
          control(device.Unit(), device.Pacer()) {}
    ~CSimTransport() override { Close(); }

    int Open(const std::string& devicePath, ITransportReceiver& newReceiver) override {
        Close();
        if (devicePath.empty()) {
            return ENOENT;
        }
        receiver = &newReceiver;
        stop = false;
        open = true;
        reader = std::thread([this] { Run(); });
        return 0;
    }
    int Close() override {
        {
            std::lock_guard lock(mutex);
            stop = true;
            open = false;
        }
        wake.notify_all();
        if (reader.joinable()) {
            reader.join();
        }
        receiver = nullptr;
        return 0;
    }
    int Write(std::string_view bytes) override {
        std::lock_guard lock(mutex);
        if (!open) {
            return EBADF;
        }
        device.Receive(bytes, timeBase.NowMs());
        return 0;
    }
    bool IsOpen() const override {
        std::lock_guard lock(mutex);
        return open;
    }
    bool PauseReader(double programMs) override {
        std::unique_lock lock(mutex);
        return !timeBase.WaitFor(wake, lock, programMs, [this] { return stop; });
    }
    void HoldReads(double programMs) override { timeBase.Sleep(programMs); }
    int Reopen(const std::string& /*devicePath*/) override {
        std::lock_guard lock(mutex);
        open = true;
        return 0;
    }

    // A control command of hx410-sim ("power off", "heading 90", ...); its answer lines.
    std::string Command(const std::string& line) {
        std::lock_guard lock(mutex);
        std::string answer;
        for (const std::string& text : control.Execute(line, timeBase.NowMs()).lines) {
            answer += (answer.empty() ? "" : "\n") + text;
        }
        return answer;
    }

private:
    void Run() {
        const double stepMs = 2.0 * timeBase.Scale(); // two real milliseconds
        std::unique_lock lock(mutex);
        while (!stop) {
            const double now = timeBase.NowMs();
            device.Step(now, true);
            const std::string out(device.Ready(now));
            device.Consume(out.size());
            if (!out.empty()) {
                lock.unlock(); // the link may write back from its receiver
                receiver->OnReceived(out);
                lock.lock();
            }
            timeBase.WaitFor(wake, lock, stepMs, [this] { return stop; });
        }
    }

    CTimeBase timeBase;
    mutable std::mutex mutex;
    std::condition_variable wake;
    CSimDevice device;
    CControlCommands control;
    ITransportReceiver* receiver = nullptr;
    bool open = false;
    bool stop = false;
    std::thread reader;
};
