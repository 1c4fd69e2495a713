#pragma once

// A batch converts file after file with the same palettes (every .wal onto WalPalette, every
// picture of one game from its palette), so what a search builds for its palettes is kept per
// thread and reused while they come back unchanged, byte for byte.

#include "base/ThreadCaches.h"

#include <memory>

namespace texelary {

// The last Value made from a Key on each thread. A Value is made with Value(key); for another
// key, a Value that has Reset(key) is reset in place, keeping its memory, and any other is made
// anew. Key needs operator==. A thread's Value is kept in its ThreadCaches, and freed with them:
// when the thread ends or releases them.
template <class Key, class Value> class LastPerThread {
public:
    // Valid until the next call on this thread. Throws what making the Value throws, and then
    // keeps what it had.
    Value& For(const Key& key) {
        State& state = Mine();
        if (state.value && state.key == key) {
            return *state.value;
        }
        if constexpr (requires(Value & value) { value.Reset(key); }) {
            if (state.value) {
                state.value->Reset(key);
            } else {
                state.value = std::make_unique<Value>(key);
            }
        } else {
            state.value = std::make_unique<Value>(key);
        }
        state.key = key;
        return *state.value;
    }

private:
    struct State {
        Key key{};
        std::unique_ptr<Value> value;
    };

    State& Mine() {
        if (void* state = m_place.Get()) {
            return *static_cast<State*>(state);
        }
        auto made = std::make_unique<State>();
        m_place.Set(made.get());
        return *made.release();
    }

    static void Free(void* state) { delete static_cast<State*>(state); }

    ThreadCaches::Place m_place{&Free};
};

} // namespace texelary
