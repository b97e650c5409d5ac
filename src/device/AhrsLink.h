#pragma once

#include "device/AhrsPort.h"
#include "device/AhrsState.h"
#include "device/ComPortList.h"
#include "device/MessageTarget.h"
#include "device/SubscriberList.h"
#include "device/TimeBase.h"
#include "device/UiThread.h"

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The program's one entry point to the HX410: owns the maintenance port, the state
// record and the list of windows to notify, and turns each maintenance action into one
// command line on the port. Commands are fire-and-forget except the MCC erase and store,
// which wait for the unit's banners. Everything but the notification walk runs on the
// user-interface thread.
class CAhrsLink {
public:
    // Acknowledgement events awaited here (see CLineParser).
    static constexpr int kEraseAck = 2;
    static constexpr int kStoreAck = 3;
    static constexpr double kMccPauseMs = 2000;
    static constexpr double kMccAckTimeoutMs = 10000;

    // A link whose silence timer runs on `uiThread`, which must outlive it.
    // Without a transport it talks through the serial port that the COM map names.
    CAhrsLink(IUiThread& uiThread, CTimeBase timeBase = CTimeBase(),
              ComPortPlaces places = ComPortPlaces::Default(),
              std::unique_ptr<ITransport> transport = nullptr);
    ~CAhrsLink();

    CAhrsLink(const CAhrsLink&) = delete;
    CAhrsLink& operator=(const CAhrsLink&) = delete;

    // Link management (user-interface thread).
    bool Open(std::uint8_t portNumber);
    bool Close();
    // Closes the port and stops its timer; call it before the UI thread goes away when
    // that happens before process exit. The link can be opened again afterwards.
    void Shutdown() { port.Shutdown(); }
    // The device's real state: false once the listener closed it and its reopen failed.
    bool IsPortOpen() const { return port.IsOpen(); }
    bool IsLinkAlive() const { return port.IsLinkAlive(); }
    void SetParsingSuspended(bool suspended) { port.SetParsingSuspended(suspended); }
    void SetReceiveTap(CAhrsPort::ReceiveTap tap) { port.SetReceiveTap(std::move(tap)); }
    CAhrsState& State() { return state; }
    // The groups of the record that received lines stored since the last call.
    // Why the last Open failed: 0, ENOENT (no such port), EBUSY (held by another
    // program), EACCES (no permission: the user should join the dialout group), ...
    int LastOpenError() const { return lastOpenError.load(); }
    std::string PortName() const;
    std::vector<int> ListComPorts() const;
    ComPortScan ScanComPorts() const;
    const CAhrsPort& Port() const { return port; }

    // Notification of the pages: `message` is posted to each target, in list order,
    // when the link comes up (from the listener thread) or is lost (from the UI thread).
    // A target that is destroyed leaves the list by itself.
    void Subscribe(IMessageTarget* target, int message);
    void Unsubscribe(IMessageTarget* target, int message);
    void NotifySubscribers();

    // Commands: true when the whole line was written. The store of the corrections is two
    // lines, each acknowledged by a banner that the caller awaits (see ClearAck, IsAckSet).
    bool WriteEraseMcc();
    bool WriteStoreMcc();
    bool SendMagFieldCorrection(int axis, std::int16_t value);
    bool SendMount(int position);
    bool SelectOutputPage(char letter);
    bool SendMcc(int index, double value);
    bool SendLatitude(double value);
    bool SendMagvar(double value);
    bool ResetImu();
    bool ResetMagPower();
    bool ResetErrors();
    bool SetA429Speed(bool high);
    bool ToggleArincOutput();
    void CheckOutputPage();
    // Any text followed by a carriage return (a support tool's free command).
    bool SendLine(std::string_view text);

    // Acknowledgement event `index` (kEraseAck, kStoreAck, ...): clearing it means only a
    // banner that arrives afterwards sets it again.
    void ClearAck(int index) { port.ClearAck(index); }
    bool IsAckSet(int index) const { return port.IsAckSet(index); }

private:
    bool WriteLine(const std::string& line);
    bool WriteLocked(const std::string& line);
    // Joins the parts and a carriage return under the command lock, then writes the line.
    bool WriteBuilt(std::initializer_list<std::string_view> parts);
    bool SendFixed2(const std::string& keyword, double value);
    void OnLinkUp();
    void OnLinkLost();

    CTimeBase timeBase;
    CAhrsState state;
    CAhrsPort port;
    std::atomic<int> lastOpenError{0};
    mutable std::mutex commandLock;
    std::string portName;
    std::shared_ptr<CSubscriberList> subscribers = CSubscriberList::Create();
};
