#pragma once

// Simulated units in the test's own process: a transport whose reader thread steps every
// unit's model on the test's time base and hands the link what the open one prints, and
// whose writes are that unit's commands. No pseudo-terminal and no second process; the
// simulator still speaks the protocol from its own model, not from the link's code.
//
// A transport made with one unit reaches it at any device path. Units added with AddUnit
// each have a COM<n> file of their own in a ports directory, so the wizard's port list
// offers them and the link opens the one chosen.

#include "device/TimeBase.h"
#include "device/Transport.h"
#include "sim/ControlCommands.h"
#include "sim/SimDevice.h"
#include "sim/SimOptions.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CSimTransport : public ITransport {
public:
    // One unit, on whatever path the link opens.
    CSimTransport(CTimeBase timeBase, const SimUnitConfig& config, const MagModelParams& model = {})
        : timeBase(timeBase) {
        units[""] = std::make_unique<Unit>(timeBase, config, model);
    }
    // No unit yet: AddUnit places them in `portsDir`.
    CSimTransport(CTimeBase timeBase, std::string portsDir)
        : timeBase(timeBase), portsDir(std::move(portsDir)) {}
    ~CSimTransport() override { Close(); }

    // A unit made from hx410-sim's command-line options (for example {"--warmup", "0"}) on
    // the lowest free COM number of the ports directory; that number, or 0 when the
    // options are refused.
    int AddUnit(const std::vector<std::string>& options) {
        std::vector<const char*> argv{"hx410-sim"};
        for (const std::string& option : options) {
            argv.push_back(option.c_str());
        }
        SimOptions parsed;
        if (!CSimOptions::Parse(static_cast<int>(argv.size()), argv.data(), parsed).empty()) {
            return 0;
        }
        std::lock_guard lock(mutex);
        int number = 1;
        while (units.count(PathOf(number)) != 0) {
            ++number;
        }
        std::ofstream(PathOf(number)).put('\n');
        units[PathOf(number)] = std::make_unique<Unit>(timeBase, parsed.unit, parsed.model);
        return number;
    }

    int Open(const std::string& devicePath, ITransportReceiver& newReceiver) override {
        Close();
        std::unique_lock lock(mutex);
        Unit* unit = Find(devicePath);
        if (unit == nullptr) {
            return ENOENT;
        }
        unit->device.Disconnect(); // a new listener starts from a whole page
        receiver = &newReceiver;
        current = unit;
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
        std::lock_guard lock(mutex);
        receiver = nullptr;
        current = nullptr;
        return 0;
    }
    int Write(std::string_view bytes) override {
        std::lock_guard lock(mutex);
        if (!open || current == nullptr) {
            return EBADF;
        }
        current->device.Receive(bytes, timeBase.NowMs());
        return 0;
    }
    bool IsOpen() const override {
        std::lock_guard lock(mutex);
        return open;
    }
    int Probe(const std::string& devicePath) const override {
        std::lock_guard lock(mutex);
        const Unit* unit = Find(devicePath);
        return unit == nullptr ? ENOENT : unit == current && open ? EBUSY : 0;
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

    // A control command of hx410-sim ("power off", "heading 90", ...) to the unit on
    // `number` (the only one when 0); its answer lines, one per line.
    std::string Command(const std::string& line, int number = 0) {
        std::lock_guard lock(mutex);
        Unit* unit = number != 0     ? Find(PathOf(number))
                     : units.empty() ? nullptr
                                     : units.begin()->second.get();
        std::string answer;
        if (unit == nullptr) {
            return answer;
        }
        for (const std::string& text : unit->control.Execute(line, timeBase.NowMs()).lines) {
            answer += (answer.empty() ? "" : "\n") + text;
        }
        return answer;
    }

private:
    struct Unit {
        Unit(CTimeBase timeBase, const SimUnitConfig& config, const MagModelParams& model)
            : device(config, model, 20.0 * std::max(1.0, timeBase.Scale()), config.seed ^ 0x5eedu),
              control(device.Unit(), device.Pacer()) {}
        CSimDevice device;
        CControlCommands control;
    };

    std::string PathOf(int number) const { return portsDir + "/COM" + std::to_string(number); }
    Unit* Find(const std::string& devicePath) const {
        if (devicePath.empty()) {
            return nullptr;
        }
        if (const auto it = units.find(portsDir.empty() ? "" : devicePath); it != units.end()) {
            return it->second.get();
        }
        return nullptr;
    }

    void Run() {
        const double stepMs = 2.0 * timeBase.Scale(); // two real milliseconds
        std::unique_lock lock(mutex);
        while (!stop) {
            const double now = timeBase.NowMs();
            for (auto& [path, unit] : units) {
                unit->device.Step(now, unit.get() == current && open);
            }
            const std::string out(current->device.Ready(now));
            current->device.Consume(out.size());
            if (!out.empty()) {
                lock.unlock(); // the link may write back from its receiver
                receiver->OnReceived(out);
                lock.lock();
            }
            timeBase.WaitFor(wake, lock, stepMs, [this] { return stop; });
        }
    }

    CTimeBase timeBase;
    std::string portsDir;
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::map<std::string, std::unique_ptr<Unit>> units;
    Unit* current = nullptr;
    ITransportReceiver* receiver = nullptr;
    bool open = false;
    bool stop = false;
    std::thread reader;
};
