#include "device/AhrsPort.h"

#include "device/SerialPort.h"

#include <algorithm>
#include <cerrno>
#include <charconv>

CAhrsPort::CAhrsPort(CAhrsState& state, IUiThread& uiThread, CTimeBase timeBase,
                     ComPortPlaces places, std::unique_ptr<ITransport> transport)
    : timeBase(timeBase),
      transport(transport ? std::move(transport) : std::make_unique<CSerialPort>(timeBase)),
      parser(state), uiThread(uiThread), places(std::move(places)) {}

CAhrsPort::~CAhrsPort() {
    Close();
}

std::string CAhrsPort::DevicePathOf(const std::string& portName) const {
    if (portName.size() < 4 || portName.compare(0, 3, "COM") != 0) {
        return {};
    }
    int number = 0;
    const char* last = portName.data() + portName.size();
    const auto [end, error] = std::from_chars(portName.data() + 3, last, number);
    if (error != std::errc() || end != last) {
        return {};
    }
    return DevicePathOfPort(places, number);
}

int CAhrsPort::Open(const std::string& portName) {
    // The listener of a previous open may be reopening from lastPortName: stop it first,
    // and forget that port's link, so the new one comes up with its own notification.
    Close();
    {
        std::lock_guard lock(nameLock);
        lastPortName = portName;
    }
    const std::string path = DevicePathOf(portName);
    if (path.empty()) {
        return ENOENT;
    }
    const int status = transport->Open(path, *this);
    if (status == 0) {
        WatchSilence(kSilenceMs);
    }
    return status;
}

int CAhrsPort::Close() {
    const int status = transport->Close();
    if (watching) {
        uiThread.StopTimer(kSilenceTimerId);
        watching = false;
    }
    linkAlive.store(false);
    lastReadMs.store(kNoRead);
    return status;
}

void CAhrsPort::WatchSilence(double programMs) {
    watching = true;
    uiThread.StartTimer(kSilenceTimerId, programMs, [this] { OnSilenceCheck(); });
}

void CAhrsPort::OnSilenceCheck() {
    const double last = lastReadMs.load();
    if (last == kNoRead) {
        WatchSilence(kSilenceMs); // nothing received since the open or the last loss
        return;
    }
    const double silentMs = timeBase.NowMs() - last;
    if (silentMs < kSilenceMs) {
        WatchSilence(kSilenceMs - silentMs);
        return;
    }
    WatchSilence(kSilenceMs);
    // Only when no read came in since `last` was taken: a read just now keeps the link.
    double expected = last;
    if (lastReadMs.compare_exchange_strong(expected, kNoRead)) {
        // The record is reset (by the callbacks) while the link still counts as alive, so
        // a read that arrives meanwhile is kept and brings the link up again afterwards.
        Call(onLinkLost);
        linkAlive.store(false);
    }
}

std::string CAhrsPort::LastPortName() const {
    std::lock_guard lock(nameLock);
    return lastPortName;
}

void CAhrsPort::AddLinkUpCallback(const void* owner, Callback callback) {
    Add(onLinkUp, owner, std::move(callback));
}

void CAhrsPort::AddLinkLostCallback(const void* owner, Callback callback) {
    Add(onLinkLost, owner, std::move(callback));
}

void CAhrsPort::SetReceiveTap(ReceiveTap tap) {
    std::lock_guard lock(callbackLock);
    receiveTap = std::move(tap);
}

void CAhrsPort::Add(CallbackList& list, const void* owner, Callback callback) {
    std::lock_guard lock(callbackLock);
    const bool known = std::any_of(list.begin(), list.end(),
                                   [owner](const auto& entry) { return entry.first == owner; });
    if (!known && callback) {
        list.emplace_back(owner, std::move(callback));
    }
}

void CAhrsPort::Call(const CallbackList& list) {
    CallbackList copy;
    {
        std::lock_guard lock(callbackLock);
        copy = list;
    }
    for (const auto& entry : copy) {
        entry.second();
    }
}

void CAhrsPort::OnReceived(std::string_view bytes) {
    if (bytes.empty()) {
        return;
    }
    lastReadMs.store(timeBase.NowMs());
    {
        std::lock_guard lock(callbackLock);
        if (receiveTap) {
            receiveTap(bytes);
        }
    }
    bool recognised = true;
    if (!parsingSuspended.load()) {
        // The text handed on ends at the first NUL of the read.
        recognised = parser.ProcessChunk(bytes.substr(0, bytes.find('\0'))).recognised;
    }
    // The listener yields before its next read. The link-up notification waits for the
    // yield; otherwise the transport holds the next read, so that the yield and the wait
    // for the next bytes can share one wake-up.
    if (recognised && !linkAlive.load()) {
        timeBase.Sleep(kYieldMs); // the reader thread's own pause, not a UI-thread wait
    } else {
        transport->HoldReads(kYieldMs);
    }
    if (recognised && !linkAlive.exchange(true)) {
        Call(onLinkUp);
    }
}

// A failed read leaves the silence timer running, so a lasting failure is reported.
void CAhrsPort::OnFailed(int /*error*/) {
    if (!transport->PauseReader(kReopenPauseMs)) {
        return; // closed meanwhile
    }
    reopenCount.fetch_add(1);
    // One attempt; the device is found again through the COM map, since a replugged
    // adapter may have come back under another node.
    transport->Reopen(DevicePathOf(LastPortName()));
}

ComPortScan CAhrsPort::ScanPorts() const {
    return ScanComPorts(places, [this](const std::string& path) { return transport->Probe(path); });
}
