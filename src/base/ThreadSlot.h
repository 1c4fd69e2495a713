#pragma once

// A pointer of each thread's own, and the function that frees a thread's pointer when the thread
// ends. Not a thread_local object with a destructor: in the Windows build's threads (mingw-w64's
// emulated thread-local storage) such destructors run after the object's memory is freed.

namespace texelary {

class ThreadSlot {
public:
    using Free = void (*)(void* value);

    // Throws std::runtime_error when the system has no slot left.
    explicit ThreadSlot(Free free);
    // Frees the calling thread's value; other threads must have ended.
    ~ThreadSlot();
    ThreadSlot(const ThreadSlot&) = delete;
    ThreadSlot& operator=(const ThreadSlot&) = delete;

    // The calling thread's value; null until it sets one.
    void* Get() const;
    // Sets the calling thread's value, which `free` receives when the thread ends unless it is
    // replaced first (the caller then frees the old one).
    void Set(void* value);

private:
    Free m_free;
    unsigned long m_index = 0;
};

} // namespace texelary
