#include "feed/DocumentCache.h"

namespace feed {

DocumentCache::DocumentCache(std::size_t capacity, Clock::duration maxAge)
    : m_capacity(capacity > 0 ? capacity : 1)
    , m_maxAge(maxAge) {}

std::optional<DocumentCache::Entry> DocumentCache::find(const std::string& key,
                                                        Clock::time_point now) {
    const std::lock_guard lock(m_mutex);
    const auto it = m_slots.find(key);
    if (it == m_slots.end())
        return std::nullopt;
    if (now - it->second.entry.stored > m_maxAge) {
        m_order.erase(it->second.position);
        m_slots.erase(it);
        return std::nullopt;
    }
    m_order.splice(m_order.begin(), m_order, it->second.position);
    return it->second.entry;
}

void DocumentCache::put(const std::string& key, std::shared_ptr<const std::string> document,
                        Clock::time_point now, DocumentDay day) {
    const std::lock_guard lock(m_mutex);
    const auto it = m_slots.find(key);
    if (it != m_slots.end()) {
        it->second.entry = Entry{std::move(document), now, day};
        m_order.splice(m_order.begin(), m_order, it->second.position);
        return;
    }
    while (m_slots.size() >= m_capacity) {
        m_slots.erase(m_order.back());
        m_order.pop_back();
    }
    m_order.push_front(key);
    m_slots.emplace(key, Slot{Entry{std::move(document), now, day}, m_order.begin()});
}

std::size_t DocumentCache::size() const {
    const std::lock_guard lock(m_mutex);
    return m_slots.size();
}

} // namespace feed
