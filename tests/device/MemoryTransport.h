#pragma once

// A transport without a device: the test plays the unit and the reader thread. Deliver and
// Fail run the receiver on the calling thread, as a serial port's listener does on its own;
// what the link writes is kept for the test to take.

#include "device/TimeBase.h"
#include "device/Transport.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

class CMemoryTransport : public ITransport {
public:
    explicit CMemoryTransport(CTimeBase timeBase) : timeBase(timeBase) {}

    int Open(const std::string& devicePath, ITransportReceiver& newReceiver) override {
        Close();
        std::lock_guard lock(mutex);
        receiver = &newReceiver;
        return OpenLocked(devicePath);
    }
    int Close() override {
        {
            std::lock_guard lock(mutex);
            open = false;
            receiver = nullptr;
        }
        closed.notify_all();
        return 0;
    }
    int Write(std::string_view bytes) override {
        std::lock_guard lock(mutex);
        if (!open) {
            return EBADF;
        }
        written.append(bytes);
        return 0;
    }
    bool IsOpen() const override {
        std::lock_guard lock(mutex);
        return open;
    }
    int Probe(const std::string& devicePath) const override {
        return devicePath.empty() ? ENOENT : 0;
    }
    // Close ends the pause at once; after HoldPausesUntilClose only Close ends it.
    bool PauseReader(double programMs) override {
        std::unique_lock lock(mutex);
        ++pauses;
        const auto closing = [this] { return receiver == nullptr; };
        if (holdPauses) {
            closed.wait(lock, closing);
            return false;
        }
        return !timeBase.WaitFor(closed, lock, programMs, closing);
    }
    void HoldPausesUntilClose() { holdPauses = true; }
    void HoldReads(double programMs) override { timeBase.Sleep(programMs); }
    int Reopen(const std::string& devicePath) override {
        std::lock_guard lock(mutex);
        return OpenLocked(devicePath);
    }

    // The unit's side.
    void Deliver(std::string_view bytes) {
        std::unique_lock lock(mutex);
        if (ITransportReceiver* target = open ? receiver : nullptr) {
            lock.unlock();
            target->OnReceived(bytes);
        }
    }
    // A hang-up: the device closes and the receiver hears of it.
    void Fail(int error) {
        std::unique_lock lock(mutex);
        if (ITransportReceiver* target = open ? receiver : nullptr) {
            open = false;
            lock.unlock();
            target->OnFailed(error);
        }
    }
    // A path that cannot be opened from now on (a pulled adapter).
    void Refuse(const std::string& devicePath) {
        std::lock_guard lock(mutex);
        refused.insert(devicePath);
    }
    std::string TakeWritten() {
        std::lock_guard lock(mutex);
        return std::exchange(written, {});
    }
    std::vector<std::string> Opened() const {
        std::lock_guard lock(mutex);
        return opened;
    }
    int Pauses() const { return pauses.load(); }

private:
    int OpenLocked(const std::string& devicePath) {
        opened.push_back(devicePath);
        open = !devicePath.empty() && refused.count(devicePath) == 0;
        return open ? 0 : ENOENT;
    }

    CTimeBase timeBase;
    mutable std::mutex mutex;
    std::condition_variable closed;
    std::atomic<int> pauses{0};
    std::atomic<bool> holdPauses{false};
    bool open = false;
    ITransportReceiver* receiver = nullptr;
    std::set<std::string> refused;
    std::vector<std::string> opened;
    std::string written;
};
