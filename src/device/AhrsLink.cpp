#include "device/AhrsLink.h"

#include "device/FixedPoint.h"

#include <algorithm>
#include <cmath>

CAhrsLink::CAhrsLink(IUiThread& uiThread, CTimeBase timeBase, ComPortPlaces places,
                     std::unique_ptr<ITransport> transport)
    : timeBase(timeBase), port(state, uiThread, timeBase, std::move(places), std::move(transport)) {
}

CAhrsLink::~CAhrsLink() {
    // The listener and the silence timer call back into this object: end them first.
    port.Shutdown();
}

bool CAhrsLink::Open(std::uint8_t portNumber) {
    std::string name;
    {
        std::lock_guard lock(commandLock);
        name = "COM" + std::to_string(portNumber);
    }
    // Registered before the listener starts, so the first link-up is never missed.
    port.AddLinkUpCallback(this, [this] { OnLinkUp(); });
    port.AddLinkLostCallback(this, [this] { OnLinkLost(); });
    const int status = port.Open(name);
    lastOpenError.store(status);
    if (status != 0) {
        return false;
    }
    {
        std::lock_guard lock(commandLock);
        portName = name;
    }
    return true;
}

bool CAhrsLink::Close() {
    port.Close();
    return true;
}

std::string CAhrsLink::PortName() const {
    std::lock_guard lock(commandLock);
    return portName;
}

std::vector<int> CAhrsLink::ListComPorts() const {
    return port.ScanPorts().ports;
}

ComPortScan CAhrsLink::ScanComPorts() const {
    return port.ScanPorts();
}

void CAhrsLink::Subscribe(IMessageTarget* target, int message) {
    subscribers->Add(target, message);
}

void CAhrsLink::Unsubscribe(IMessageTarget* target, int message) {
    subscribers->Remove(target, message);
}

void CAhrsLink::NotifySubscribers() {
    subscribers->Notify();
}

void CAhrsLink::OnLinkUp() {
    NotifySubscribers();
}

void CAhrsLink::OnLinkLost() {
    state.Reset();
    NotifySubscribers();
}

bool CAhrsLink::WriteLine(const std::string& line) {
    return port.Write(line) == 0;
}

bool CAhrsLink::WriteLocked(const std::string& line) {
    std::lock_guard lock(commandLock);
    return WriteLine(line);
}

bool CAhrsLink::WriteEraseMcc() {
    return WriteLocked("ERASE MCC\r");
}

bool CAhrsLink::WriteStoreMcc() {
    return WriteLocked("STORE MCC\r");
}

bool CAhrsLink::SendMagFieldCorrection(int axis, std::int16_t value) {
    if (axis < 0 || axis > 2) {
        return false;
    }
    const char axisName[] = {"XYZ"[axis], '\0'};
    return WriteBuilt({"MFC ", axisName, " ", std::to_string(value)});
}

bool CAhrsLink::SendMount(int position) {
    return WriteBuilt({"MOUNT ", std::to_string(position), ".0"});
}

bool CAhrsLink::SelectOutputPage(char letter) {
    if (letter <= ' ' || letter > '~') {
        return false; // a control character would end or garble the command
    }
    // Three carriage returns in all: the line's own and two more.
    return WriteBuilt({"PAGE ", std::string_view(&letter, 1), "\r\r"});
}

bool CAhrsLink::SendMcc(int index, double value) {
    static constexpr const char* kDirections[] = {"N ", "S ", "E ", "W "};
    if (index < 0 || index > 3) {
        return false; // a correction without its heading is not sent at all
    }
    return SendFixed2(std::string("MCC ") + kDirections[index], value);
}

bool CAhrsLink::SendLatitude(double value) {
    return SendFixed2("LAT ", value);
}

bool CAhrsLink::SendMagvar(double value) {
    return SendFixed2("MAGVAR ", value);
}

bool CAhrsLink::SendLine(std::string_view text) {
    return WriteBuilt({text});
}

bool CAhrsLink::SendFixed2(const std::string& keyword, double value) {
    if (!std::isfinite(value)) {
        return false; // not a number: nothing the unit could read is sent
    }
    // Independent of the process locale: a toolkit may set one whose decimal separator is a
    // comma, which the unit would not read.
    return WriteBuilt({keyword, FixedPoint(value, 2)});
}

bool CAhrsLink::WriteBuilt(std::initializer_list<std::string_view> parts) {
    std::string line;
    {
        // Held while the line is built, not while it is written.
        std::lock_guard lock(commandLock);
        for (const std::string_view part : parts) {
            line += part;
        }
        line += '\r';
    }
    return WriteLine(line);
}

bool CAhrsLink::ResetImu() {
    return WriteLine("RESET IMU\r");
}

bool CAhrsLink::ResetMagPower() {
    return WriteLine("RESET MAG POWER\r");
}

bool CAhrsLink::ResetErrors() {
    return WriteLine("RESET ERRORS\r");
}

bool CAhrsLink::SetA429Speed(bool high) {
    return WriteLine(high ? "A429 H\r" : "A429 L\r");
}

bool CAhrsLink::ToggleArincOutput() {
    const double output = state.GetArincOutput();
    if (!(output >= 0 && output <= 1)) {
        return false; // unknown (-1 after a reset) or out of range: nothing to toggle
    }
    state.ClearCounters();
    return WriteLine(output >= 0.5 ? "ARINC 0.0\r" : "ARINC 1.0\r");
}

void CAhrsLink::CheckOutputPage() {
    const auto difference =
        static_cast<std::int32_t>(state.GetStatusCount() - state.GetAvgHeadingCount());
    if (difference > 2) {
        SelectOutputPage('C');
        state.ClearCounters();
    }
}
