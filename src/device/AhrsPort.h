#pragma once

#include "device/ComPortList.h"
#include "device/LineParser.h"
#include "device/TimeBase.h"
#include "device/Transport.h"
#include "device/UiThread.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The HX410 maintenance port: a transport (the serial port named "COM<n>", or an
// in-memory peer in tests) whose reader feeds every read to the line parser, and a
// silence watch that decides whether the link is alive.
//
// The link comes up on the first read after an open or a loss that holds a recognised
// line (any read while parsing is suspended). It is lost, once, 5000 ms after the last
// read; a port that has received nothing since its open or the last loss is never lost.
// The listener only records the time of each read; the silence watch, a timer of the
// user-interface thread that runs while the port is open, decides. So nothing of the
// listener ever reaches the user-interface thread, and once the port is closed or shut
// down no expiry can run. When the listener meets a hang-up or a read failure (an
// adapter pulled out) the port closes, pauses 500 ms and reopens its last port once; a
// failed reopen leaves it closed and the silence watch then reports the loss.
class CAhrsPort : private ITransportReceiver {
public:
    using Callback = std::function<void()>;
    using ReceiveTap = std::function<void(std::string_view bytes)>;

    static constexpr int kSilenceTimerId = 2;
    static constexpr double kSilenceMs = 5000;
    static constexpr double kReopenPauseMs = 500;
    static constexpr double kYieldMs = 1;

    // Without a transport the port talks through a serial port on `timeBase`.
    CAhrsPort(CAhrsState& state, IUiThread& uiThread, CTimeBase timeBase = CTimeBase(),
              ComPortPlaces places = ComPortPlaces::Default(),
              std::unique_ptr<ITransport> transport = nullptr);
    ~CAhrsPort();

    CAhrsPort(const CAhrsPort&) = delete;
    CAhrsPort& operator=(const CAhrsPort&) = delete;

    // Closes a port that is open (as Close does), remembers `portName` as the last port
    // (whether or not the open succeeds) and opens the device that the COM map names for
    // it. 0 or an errno (ENOENT when no device has that number, EBUSY when it is held,
    // EACCES when the user may not open it). User-interface thread.
    int Open(const std::string& portName);
    // Stops the listener and the silence watch, closes the device and clears the
    // link-alive flag; nothing of the port runs afterwards until it is next opened.
    // User-interface thread.
    int Close();
    // Close; kept for the link's shutdown before the UI thread goes away.
    void Shutdown() { Close(); }
    // Writes the whole line within the transport's bound: 0 or an errno value.
    int Write(std::string_view bytes) { return transport->Write(bytes); }
    bool IsOpen() const { return transport->IsOpen(); }
    const CTimeBase& TimeBase() const { return timeBase; }

    void ClearAck(int index) { parser.ClearAck(index); }
    bool IsAckSet(int index) const { return parser.IsAckSet(index); }
    void SetParsingSuspended(bool suspended) { parsingSuspended.store(suspended); }
    bool IsParsingSuspended() const { return parsingSuspended.load(); }
    bool IsLinkAlive() const { return linkAlive.load(); }

    // Adds a callback unless one with the same owner is already registered.
    void AddLinkUpCallback(const void* owner, Callback callback);
    void AddLinkLostCallback(const void* owner, Callback callback);

    // Hands every read's bytes, as received (before any NUL cut or suspension), to `tap`
    // on the listener thread: a raw capture for support. An empty function removes it.
    // The tap must not call back into the port.
    void SetReceiveTap(ReceiveTap tap);

    std::string LastPortName() const;
    // Reopen attempts after listener failures, successful or not.
    unsigned ReopenCount() const { return reopenCount.load(); }
    const ComPortPlaces& Places() const { return places; }
    // Every port the places name, probed through the transport.
    ComPortScan ScanPorts() const;
    const CLineParser& Parser() const { return parser; }

private:
    using CallbackList = std::vector<std::pair<const void*, Callback>>;

    static constexpr double kNoRead = -1e300;

    std::string DevicePathOf(const std::string& portName) const;
    void WatchSilence(double programMs);
    void OnSilenceCheck();
    void Add(CallbackList& list, const void* owner, Callback callback);
    void Call(const CallbackList& list);
    void OnReceived(std::string_view bytes) override;
    void OnFailed(int error) override;

    CTimeBase timeBase;
    std::unique_ptr<ITransport> transport;
    CLineParser parser;
    IUiThread& uiThread;
    ComPortPlaces places;
    std::atomic<bool> linkAlive{false};
    std::atomic<bool> parsingSuspended{false};
    std::atomic<unsigned> reopenCount{0};
    // Program time of the last read since the open or the last loss, else kNoRead.
    std::atomic<double> lastReadMs{kNoRead};
    // The silence watch's timer is running (user-interface thread only). Once the port is
    // closed the UI thread is not called again, so it may be gone before the port.
    bool watching = false;
    mutable std::mutex nameLock;
    std::string lastPortName;
    mutable std::mutex callbackLock;
    CallbackList onLinkUp;
    CallbackList onLinkLost;
    ReceiveTap receiveTap;
};
