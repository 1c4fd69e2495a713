#include "base/ThreadCaches.h"

#include "base/ThreadSlot.h"

#include <atomic>
#include <memory>
#include <vector>

namespace texelary {

namespace {

struct Freer {
    ThreadCaches::Free free = nullptr;
    void operator()(void* value) const { free(value); }
};

// A thread's values, each at its place's index (null where the thread has none).
using Store = std::vector<std::unique_ptr<void, Freer>>;

void FreeStore(void* store) {
    delete static_cast<Store*>(store);
}

// Made by the first place and so destroyed after every place made at namespace scope or as a
// function's static, freeing the store of the thread that ends the program.
ThreadSlot& StoreSlot() {
    static ThreadSlot slot(&FreeStore);
    return slot;
}

std::atomic<std::size_t> placesMade{0};

Store* StoreOfThisThread() {
    return static_cast<Store*>(StoreSlot().Get());
}

} // namespace

ThreadCaches::Place::Place(Free free)
    : m_free(free)
    , m_index(placesMade++) {
    StoreSlot();
}

ThreadCaches::Place::~Place() {
    if (Store* store = StoreOfThisThread(); store != nullptr && m_index < store->size()) {
        (*store)[m_index].reset();
    }
}

void* ThreadCaches::Place::Get() const {
    const Store* store = StoreOfThisThread();
    return store != nullptr && m_index < store->size() ? (*store)[m_index].get() : nullptr;
}

void ThreadCaches::Place::Set(void* value) {
    Store* store = StoreOfThisThread();
    if (store == nullptr) {
        auto made = std::make_unique<Store>();
        StoreSlot().Set(made.get());
        store = made.release();
    }
    if (m_index >= store->size()) {
        store->resize(m_index + 1);
    }
    (*store)[m_index] = Store::value_type(value, Freer{m_free});
}

void ThreadCaches::ReleaseThisThread() {
    Store* store = StoreOfThisThread();
    StoreSlot().Set(nullptr);
    FreeStore(store);
}

} // namespace texelary
