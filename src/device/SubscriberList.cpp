#include "device/SubscriberList.h"

std::shared_ptr<CSubscriberList> CSubscriberList::Create() {
    return std::shared_ptr<CSubscriberList>(new CSubscriberList());
}

void CSubscriberList::Add(IMessageTarget* target, int message) {
    if (target == nullptr) {
        return;
    }
    {
        std::lock_guard guard(lock);
        entries.emplace_back(target, message);
    }
    target->Remember(shared_from_this());
}

void CSubscriberList::Remove(IMessageTarget* target, int message) {
    std::lock_guard guard(lock);
    std::erase(entries, std::make_pair(target, message));
}

void CSubscriberList::RemoveAll(IMessageTarget* target) {
    std::lock_guard guard(lock);
    std::erase_if(entries, [target](const auto& entry) { return entry.first == target; });
}

void CSubscriberList::Notify() {
    // PostMessage only queues, so no page code runs under the lock.
    std::lock_guard guard(lock);
    for (const auto& [target, message] : entries) {
        target->PostMessage(message);
    }
}
