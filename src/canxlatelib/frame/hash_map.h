// Chained hash map with prime bucket counts. Its iteration order (buckets
// upward, each chain from its head) is what hosts see as the order of a table's
// message IDs, so the insertion and growth rules below are part of the
// interface: a new node goes to the head of its chain, and growth moves the
// nodes of each old chain, head first, onto the heads of the new chains.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

namespace canxlate {

inline constexpr uint32_t kBucketPrimes[] = {53u,        97u,         193u,        389u,       769u,       1543u,
                                             3079u,      6151u,       12289u,      24593u,     49157u,     98317u,
                                             196613u,    393241u,     786433u,     1572869u,   3145739u,   6291469u,
                                             12582917u,  25165843u,   50331653u,   100663319u, 201326611u, 402653189u,
                                             805306457u, 1610612741u, 3221225473u, 4294967291u};

// The smallest listed prime not below wanted; the largest prime beyond them all.
constexpr uint32_t nextBucketCount(uint64_t wanted) noexcept {
    for (uint32_t prime : kBucketPrimes)
        if (prime >= wanted) return prime;
    return kBucketPrimes[std::size(kBucketPrimes) - 1];
}

// Key is an unsigned integer (32-bit message IDs, pointer-sized table handles);
// the bucket is key mod bucket count in the key's own width.
template <typename Key, typename Value>
class HashMap {
public:
    struct Node {
        Node* next;
        Key key;
        Value value;
    };

    explicit HashMap(uint32_t wantedBuckets) : bucketCount_(nextBucketCount(wantedBuckets)) {
        buckets_ = std::make_unique<Node*[]>(bucketCount_);
    }
    ~HashMap() { clear(); }
    HashMap(const HashMap&) = delete;
    HashMap& operator=(const HashMap&) = delete;

    uint32_t size() const noexcept { return size_; }
    uint32_t bucketCount() const noexcept { return bucketCount_; }

    Value* find(Key key) noexcept {
        for (Node* node = buckets_[bucketOf(key, bucketCount_)]; node != nullptr; node = node->next)
            if (node->key == key) return &node->value;
        return nullptr;
    }
    const Value* find(Key key) const noexcept { return const_cast<HashMap*>(this)->find(key); }

    // Inserts (key, value) unless key is present; returns the entry for key and
    // whether it is new. Throws std::bad_alloc and then leaves the map as it
    // was, bucket count included.
    std::pair<Value*, bool> insert(Key key, Value&& value) {
        auto node = std::make_unique<Node>(Node{nullptr, key, std::move(value)});
        growToHold(uint64_t{size_} + 1);
        if (Value* existing = find(key)) return {existing, false};
        Node*& head = buckets_[bucketOf(key, bucketCount_)];
        node->next = head;
        head = node.release();
        ++size_;
        return {&head->value, true};
    }

    // Removes every node with this key; returns how many there were.
    uint32_t remove(Key key) noexcept {
        uint32_t removed = 0;
        for (Node** link = &buckets_[bucketOf(key, bucketCount_)]; *link != nullptr;) {
            if ((*link)->key == key) {
                Node* dead = *link;
                *link = dead->next;
                delete dead;
                ++removed;
            } else {
                link = &(*link)->next;
            }
        }
        size_ -= removed;
        return removed;
    }

    // Frees every node; the bucket count stays.
    void clear() noexcept {
        for (uint32_t i = 0; i < bucketCount_; ++i) {
            for (Node* node = buckets_[i]; node != nullptr;) {
                Node* next = node->next;
                delete node;
                node = next;
            }
            buckets_[i] = nullptr;
        }
        size_ = 0;
    }

    // Visits every entry in iteration order: buckets upward, chains from the head.
    template <typename Visitor>
    void forEach(Visitor&& visit) const {
        for (uint32_t i = 0; i < bucketCount_; ++i)
            for (const Node* node = buckets_[i]; node != nullptr; node = node->next) visit(node->key, node->value);
    }
    template <typename Visitor>
    void forEach(Visitor&& visit) {
        for (uint32_t i = 0; i < bucketCount_; ++i)
            for (Node* node = buckets_[i]; node != nullptr; node = node->next) visit(node->key, node->value);
    }

private:
    static std::size_t bucketOf(Key key, uint32_t count) noexcept { return static_cast<std::size_t>(key % count); }

    void growToHold(uint64_t wanted) {
        if (wanted <= bucketCount_) return;
        uint32_t newCount = nextBucketCount(wanted);
        if (newCount <= bucketCount_) return;
        auto newBuckets = std::make_unique<Node*[]>(newCount);
        for (uint32_t i = 0; i < bucketCount_; ++i) {
            while (Node* node = buckets_[i]) {
                buckets_[i] = node->next;
                Node*& head = newBuckets[bucketOf(node->key, newCount)];
                node->next = head;
                head = node;
            }
        }
        buckets_ = std::move(newBuckets);
        bucketCount_ = newCount;
    }

    std::unique_ptr<Node*[]> buckets_;
    uint32_t bucketCount_;
    uint32_t size_ = 0;
};

}  // namespace canxlate
