#pragma once

// A window that the link notifies (a wizard page). PostMessage queues the message for
// the window's own thread and returns at once: the caller never runs page code.
class IMessageTarget {
public:
    virtual ~IMessageTarget() = default;
    virtual void PostMessage(int message) = 0;
};
