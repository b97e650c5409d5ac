#pragma once

// A transport without a device: the test plays the unit's side and the reader thread.
// Deliver and Fail run the receiver on the calling thread, as a serial port's listener
// would on its own; what the link writes is kept for the test to take.

#include "device/TimeBase.h"
#include "device/Transport.h"

#include <cerrno>
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
        std::lock_guard lock(mutex);
        open = false;
        receiver = nullptr;
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
    bool PauseReader(double programMs) override {
        timeBase.Sleep(programMs);
        std::lock_guard lock(mutex);
        return receiver != nullptr; // Close forgets the receiver
    }
    int Reopen(const std::string& devicePath) override {
        std::lock_guard lock(mutex);
        return OpenLocked(devicePath);
    }

    // The unit's side.
    void Deliver(std::string_view bytes) {
        if (ITransportReceiver* target = OpenReceiver()) {
            target->OnReceived(bytes);
        }
    }
    // A hang-up: the device closes and the receiver hears of it.
    void Fail(int error) {
        ITransportReceiver* target = nullptr;
        {
            std::lock_guard lock(mutex);
            if (!open) {
                return;
            }
            open = false;
            target = receiver;
        }
        target->OnFailed(error);
    }
    // Paths that cannot be opened from now on (a pulled adapter).
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

private:
    int OpenLocked(const std::string& devicePath) {
        opened.push_back(devicePath);
        if (devicePath.empty() || refused.count(devicePath) != 0) {
            open = false;
            return ENOENT;
        }
        open = true;
        return 0;
    }
    ITransportReceiver* OpenReceiver() {
        std::lock_guard lock(mutex);
        return open ? receiver : nullptr;
    }

    CTimeBase timeBase;
    mutable std::mutex mutex;
    bool open = false;
    ITransportReceiver* receiver = nullptr;
    std::set<std::string> refused;
    std::vector<std::string> opened;
    std::string written;
};
