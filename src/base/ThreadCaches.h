#pragma once

// What each thread keeps between calls (an archive's directory, a palette's tables), owned by one
// store per thread: freed whole when the thread ends, or sooner when the thread releases it. The
// store knows nothing of the values: each is a pointer with the function that frees it.

#include <cstddef>

namespace texelary {

class ThreadCaches {
public:
    using Free = void (*)(void* value);

    // One cache's place in every thread's store. Places are never reused, so a value is only ever
    // found by the cache that put it there.
    class Place {
    public:
        // Throws std::runtime_error when the system has no thread-local slot left.
        explicit Place(Free free);
        // Frees the calling thread's value; another thread's is freed with that thread's store.
        ~Place();
        Place(const Place&) = delete;
        Place& operator=(const Place&) = delete;

        // The calling thread's value; null until it sets one, and again once it is released.
        void* Get() const;
        // Hands `value` to the calling thread's store, which frees it with `free`; an earlier
        // value is freed now. Throws std::bad_alloc when the store cannot grow, and then `value`
        // is still the caller's.
        void Set(void* value);

    private:
        Free m_free;
        std::size_t m_index;
    };

    // Frees every value the calling thread keeps; the next use makes them anew.
    static void ReleaseThisThread();
};

} // namespace texelary
