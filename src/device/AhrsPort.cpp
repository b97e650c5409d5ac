#include "device/AhrsPort.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

CAhrsPort::CAhrsPort(CAhrsState& state, IUiThread& uiThread, CTimeBase timeBase,
                     ComPortPlaces places)
    : CSerialPort(timeBase), parser(state, timeBase), uiThread(uiThread),
      places(std::move(places)) {}

CAhrsPort::~CAhrsPort() {
    Shutdown();
}

void CAhrsPort::Shutdown() {
    CloseDevice();
    linkAlive.store(false);
    if (!shutDown) {
        uiThread.StopTimer(kSilenceTimerId);
        shutDown = true;
    }
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
    // The listener of a previous open may be reopening from lastPortName: stop it first.
    CloseDevice();
    shutDown = false;
    {
        std::lock_guard lock(nameLock);
        lastPortName = portName;
    }
    const std::string path = DevicePathOf(portName);
    if (path.empty()) {
        return Keep(ENOENT);
    }
    return OpenDevice(path, true);
}

int CAhrsPort::Close() {
    const int status = CloseDevice();
    linkAlive.store(false);
    return status;
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

int CAhrsPort::OnPortEvent(unsigned events, unsigned /*errors*/) {
    if ((events & kReceivedChars) == 0) {
        return 0; // breaks and line errors are ignored
    }
    char buffer[kReadSize + 1];
    std::size_t count = 0;
    const int status = Read(buffer, kReadSize, &count);
    if (status != 0) {
        return status; // the silence timer keeps running, so a lasting failure is reported
    }
    if (count == 0) {
        return 0;
    }
    uiThread.StopTimer(kSilenceTimerId);
    {
        std::lock_guard lock(callbackLock);
        if (receiveTap) {
            receiveTap(std::string_view(buffer, count));
        }
    }
    buffer[count] = '\0';
    bool recognised = true;
    if (!parsingSuspended.load()) {
        // The text handed on ends at the first NUL of the read.
        recognised = parser.ProcessChunk(std::string_view(buffer, std::strlen(buffer)));
    }
    uiThread.StartTimer(kSilenceTimerId, kSilenceMs, [this] { OnSilence(); });
    TimeBase().Sleep(kYieldMs);
    if (recognised && !linkAlive.exchange(true)) {
        Call(onLinkUp);
    }
    return 0;
}

void CAhrsPort::OnSilence() {
    uiThread.StopTimer(kSilenceTimerId);
    linkAlive.store(false);
    Call(onLinkLost);
}

void CAhrsPort::OnReceiverFailed(int /*error*/) {
    CloseFromListener();
    if (!PauseListener(kReopenPauseMs)) {
        return; // closed meanwhile
    }
    reopenCount.fetch_add(1);
    // One attempt; the device is found again through the COM map, since a replugged
    // adapter may have come back under another node.
    ReopenDevice(DevicePathOf(LastPortName()));
}
