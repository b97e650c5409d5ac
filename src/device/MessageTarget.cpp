#include "device/MessageTarget.h"

#include "device/SubscriberList.h"

#include <algorithm>

IMessageTarget::~IMessageTarget() {
    UnsubscribeAll();
}

void IMessageTarget::UnsubscribeAll() {
    std::vector<std::weak_ptr<CSubscriberList>> taken;
    {
        std::lock_guard lock(listsLock);
        taken.swap(lists);
    }
    // Lists are left without holding listsLock: a list never takes it while locked.
    for (const auto& weak : taken) {
        if (const auto list = weak.lock()) {
            list->RemoveAll(this);
        }
    }
}

void IMessageTarget::Remember(const std::shared_ptr<CSubscriberList>& list) {
    std::lock_guard lock(listsLock);
    std::erase_if(lists, [](const auto& weak) { return weak.expired(); });
    const bool known = std::any_of(lists.begin(), lists.end(), [&](const auto& weak) {
        return !weak.owner_before(list) && !list.owner_before(weak);
    });
    if (!known) {
        lists.push_back(list);
    }
}
