#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// What a transport hands on: received bytes and the failure of its reader. Both run on
// the transport's reader thread, one at a time.
class ITransportReceiver {
public:
    // Bytes as they arrived (at most one read's worth).
    virtual void OnReceived(std::string_view bytes) = 0;
    // The reader met a hang-up or a read failure (`error`, an errno value). The device is
    // already closed; the receiver may pause and reopen it through the transport's
    // reader-side calls, and the same reader then goes on.
    virtual void OnFailed(int error) = 0;

protected:
    ~ITransportReceiver() = default;
};

// The byte path to the unit: the POSIX serial port in production, an in-memory peer in
// tests. Every operation returns 0 or an errno value.
//
// Open, Close and Write belong to the user-interface thread; PauseReader and Reopen
// only to the receiver's OnFailed, on the reader thread.
class ITransport {
public:
    virtual ~ITransport() = default;

    // Opens `devicePath` (closing what was open) and starts the reader, which hands
    // everything received to `receiver` until Close. ENOENT for an empty path.
    virtual int Open(const std::string& devicePath, ITransportReceiver& receiver) = 0;
    // Stops the reader and closes the device; nothing reaches the receiver afterwards.
    virtual int Close() = 0;
    // Writes all of `bytes`, within the transport's own bound.
    virtual int Write(std::string_view bytes) = 0;
    virtual bool IsOpen() const = 0;
    // Whether `devicePath` could be opened now, touching nothing: 0, or the errno that
    // Open would meet (ENOTTY, EBUSY, EACCES, ...). The port list offers what passes.
    virtual int Probe(const std::string& devicePath) const = 0;

    // Reader thread, from OnReceived: the reader reads nothing more for `programMs` from
    // now. Whether it sleeps through that time or already waits for the next bytes is the
    // transport's choice; either way no read comes sooner.
    virtual void HoldReads(double programMs) = 0;

    // Reader thread, from OnFailed: waits `programMs` unless Close is called meanwhile
    // (false then, and the reader ends).
    virtual bool PauseReader(double programMs) = 0;
    // Reader thread, from OnFailed: opens `devicePath` again with the full open sequence.
    virtual int Reopen(const std::string& devicePath) = 0;
};
