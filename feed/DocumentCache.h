#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace feed {

// The local day a document is for, to tell later whether it is still today there.
struct DocumentDay {
    std::int32_t localDay = 0; // days since 1970-01-01 on the place's calendar
    std::int32_t utcOffsetSeconds = 0;
};

// Feed documents by key, least recently used dropped first once the cache is full, and entries
// older than the longest age anyone may ask for dropped when met. Safe to share between threads.
class DocumentCache final {
public:
    using Clock = std::chrono::steady_clock;

    struct Entry {
        std::shared_ptr<const std::string> document;
        Clock::time_point stored;
        DocumentDay day;
    };

    DocumentCache(std::size_t capacity, Clock::duration maxAge);

    // The entry for key when it is at most maxAge old; counts as a use.
    std::optional<Entry> find(const std::string& key, Clock::time_point now);
    void put(const std::string& key, std::shared_ptr<const std::string> document,
             Clock::time_point now, DocumentDay day = {});
    std::size_t size() const;

private:
    using Order = std::list<std::string>; // most recent first
    struct Slot {
        Entry entry;
        Order::iterator position;
    };

    const std::size_t m_capacity;
    const Clock::duration m_maxAge;
    mutable std::mutex m_mutex;
    Order m_order;
    std::unordered_map<std::string, Slot> m_slots;
};

} // namespace feed
