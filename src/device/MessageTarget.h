#pragma once

#include <memory>
#include <mutex>
#include <vector>

class CSubscriberList;

// A window that the link notifies (a wizard page). PostMessage queues the message for
// the window's own thread and returns at once: the caller never runs page code.
//
// A target leaves every subscriber list that still holds it when it is destroyed, so a
// list never keeps a dangling target. PostMessage may be called from the listener thread
// until then; a target whose PostMessage uses members of its own class calls
// UnsubscribeAll first thing in its destructor.
class IMessageTarget {
public:
    IMessageTarget() = default;
    virtual ~IMessageTarget();
    IMessageTarget(const IMessageTarget&) = delete;
    IMessageTarget& operator=(const IMessageTarget&) = delete;

    virtual void PostMessage(int message) = 0;

    // Removes every subscription of this target, in every list.
    void UnsubscribeAll();

private:
    friend class CSubscriberList;
    void Remember(const std::shared_ptr<CSubscriberList>& list);

    std::mutex listsLock;
    std::vector<std::weak_ptr<CSubscriberList>> lists;
};
