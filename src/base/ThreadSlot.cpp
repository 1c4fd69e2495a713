#include "base/ThreadSlot.h"

#include <stdexcept>

#ifdef _WIN32
#include "base/Win32.h"
#else
#include <pthread.h>
#endif

namespace texelary {

// Windows: a fiber-local slot, whose callback the system calls as a thread ends, after the
// thread library's own clean-up (on 64-bit Windows the callback's calling convention is the
// plain one, so `free` serves as it is). Elsewhere: a POSIX thread key.
#ifdef _WIN32

ThreadSlot::ThreadSlot(Free free) : m_free(free) {
    const DWORD index = FlsAlloc(reinterpret_cast<PFLS_CALLBACK_FUNCTION>(free));
    if (index == FLS_OUT_OF_INDEXES) {
        throw std::runtime_error("no thread-local slot left");
    }
    m_index = index;
}

ThreadSlot::~ThreadSlot() {
    void* mine = Get();
    Set(nullptr);
    m_free(mine);
    FlsFree(static_cast<DWORD>(m_index));
}

void* ThreadSlot::Get() const {
    return FlsGetValue(static_cast<DWORD>(m_index));
}

void ThreadSlot::Set(void* value) {
    FlsSetValue(static_cast<DWORD>(m_index), value);
}

#else

ThreadSlot::ThreadSlot(Free free) : m_free(free) {
    pthread_key_t key{};
    if (pthread_key_create(&key, free) != 0) {
        throw std::runtime_error("no thread-local slot left");
    }
    m_index = static_cast<unsigned long>(key);
}

ThreadSlot::~ThreadSlot() {
    void* mine = Get();
    Set(nullptr);
    m_free(mine);
    pthread_key_delete(static_cast<pthread_key_t>(m_index));
}

void* ThreadSlot::Get() const {
    return pthread_getspecific(static_cast<pthread_key_t>(m_index));
}

void ThreadSlot::Set(void* value) {
    pthread_setspecific(static_cast<pthread_key_t>(m_index), value);
}

#endif

} // namespace texelary
