#include "base/ThreadSlot.h"

#include <stdexcept>

#ifdef _WIN32
#include "base/Win32.h"
#else
#include <pthread.h>
#endif

namespace texelary {

namespace {

// Windows: a fiber-local slot, whose callback the system calls as a thread ends, after the
// thread library's own clean-up (on 64-bit Windows the callback's calling convention is the
// plain one, so `free` serves as it is). Elsewhere: a POSIX thread key.
#ifdef _WIN32

bool NewSlot(ThreadSlot::Free free, unsigned long& index) {
    index = FlsAlloc(reinterpret_cast<PFLS_CALLBACK_FUNCTION>(free));
    return index != FLS_OUT_OF_INDEXES;
}
void DeleteSlot(unsigned long index) {
    FlsFree(static_cast<DWORD>(index));
}
void* SlotValue(unsigned long index) {
    return FlsGetValue(static_cast<DWORD>(index));
}
void SetSlotValue(unsigned long index, void* value) {
    FlsSetValue(static_cast<DWORD>(index), value);
}

#else

bool NewSlot(ThreadSlot::Free free, unsigned long& index) {
    pthread_key_t key{};
    if (pthread_key_create(&key, free) != 0) {
        return false;
    }
    index = static_cast<unsigned long>(key);
    return true;
}
void DeleteSlot(unsigned long index) {
    pthread_key_delete(static_cast<pthread_key_t>(index));
}
void* SlotValue(unsigned long index) {
    return pthread_getspecific(static_cast<pthread_key_t>(index));
}
void SetSlotValue(unsigned long index, void* value) {
    pthread_setspecific(static_cast<pthread_key_t>(index), value);
}

#endif

} // namespace

ThreadSlot::ThreadSlot(Free free)
    : m_free(free) {
    if (!NewSlot(free, m_index)) {
        throw std::runtime_error("no thread-local slot left");
    }
}

ThreadSlot::~ThreadSlot() {
    void* mine = Get();
    Set(nullptr);
    m_free(mine);
    DeleteSlot(m_index);
}

void* ThreadSlot::Get() const {
    return SlotValue(m_index);
}

void ThreadSlot::Set(void* value) {
    SetSlotValue(m_index, value);
}

} // namespace texelary
