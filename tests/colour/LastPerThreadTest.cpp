#include "colour/LastPerThread.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace texelary {
namespace {

// Counts its destructions, and those that found its memory no longer its own.
std::atomic<int> destroyed{0};
std::atomic<int> destroyedDamaged{0};

struct Probe {
    static constexpr unsigned kMark = 0x5eedf00d;
    explicit Probe(int made)
        : key(made) {}
    ~Probe() {
        ++destroyed;
        if (mark != kMark) {
            ++destroyedDamaged;
        }
    }
    int key;
    unsigned mark = kMark;
};

TEST(LastPerThread, KeepsEachThreadsValueAndFreesItWhole) {
    LastPerThread<int, Probe> last;
    destroyed = 0;
    destroyedDamaged = 0;
    Probe& mine = last.For(1);
    EXPECT_EQ(&last.For(1), &mine);

    std::thread other([&] {
        Probe& theirs = last.For(1);
        EXPECT_NE(&theirs, &mine);
        EXPECT_EQ(last.For(2).key, 2); // another key: made anew, the old one freed
    });
    other.join();
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(destroyedDamaged, 0);
    EXPECT_EQ(last.For(1).key, 1);
    EXPECT_EQ(&last.For(1), &mine);
}

} // namespace
} // namespace texelary
