#pragma once

#include "device/MessageTarget.h"

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

// The windows to notify, each with its message, in subscription order. Shared by its
// owner (the link) with the targets it holds, which leave it when they are destroyed;
// a list that is gone first is simply forgotten by them.
class CSubscriberList : public std::enable_shared_from_this<CSubscriberList> {
public:
    static std::shared_ptr<CSubscriberList> Create();

    // Appends the pair (an equal pair may appear more than once); a null target is ignored.
    void Add(IMessageTarget* target, int message);
    // Removes every pair equal to (target, message).
    void Remove(IMessageTarget* target, int message);
    // Removes every pair of the target.
    void RemoveAll(IMessageTarget* target);
    // Posts each pair's message to its target, in list order. Held through the walk:
    // once a Remove returns, its target is never posted to again.
    void Notify();

private:
    CSubscriberList() = default;

    std::mutex lock;
    std::vector<std::pair<IMessageTarget*, int>> entries;
};
