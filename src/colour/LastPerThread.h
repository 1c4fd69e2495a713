#pragma once

// A batch converts file after file with the same palettes (every .wal onto WalPalette, every
// picture of one game from its palette), so what a search builds for its palettes is kept per
// thread and reused while they come back unchanged, byte for byte.

#include <memory>

namespace texelary {

// The last Value made from a Key on this thread (declared thread_local by its user). A Value is
// made with Value(key); for another key, a Value that has Reset(key) is reset in place, keeping
// its memory, and any other is made anew. Key needs operator==.
template <class Key, class Value> class LastPerThread {
public:
    // Valid until the next call on this thread. Throws what making the Value throws, and then
    // keeps what it had.
    Value& For(const Key& key) {
        if (m_value && m_key == key) {
            return *m_value;
        }
        if constexpr (requires(Value & value) { value.Reset(key); }) {
            if (m_value) {
                m_value->Reset(key);
            } else {
                m_value = std::make_unique<Value>(key);
            }
        } else {
            m_value = std::make_unique<Value>(key);
        }
        m_key = key;
        return *m_value;
    }

private:
    Key m_key{};
    std::unique_ptr<Value> m_value;
};

} // namespace texelary
