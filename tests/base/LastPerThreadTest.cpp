#include "base/LastPerThread.h"

#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

namespace texelary {
namespace {

// Counts its makings and destructions, and the destructions that found its memory no longer its
// own.
std::atomic<int> made{0};
std::atomic<int> destroyed{0};
std::atomic<int> destroyedDamaged{0};

void ResetCounts() {
    made = 0;
    destroyed = 0;
    destroyedDamaged = 0;
}

struct Probe {
    static constexpr unsigned kMark = 0x5eedf00d;
    explicit Probe(int wanted)
        : key(wanted) {
        if (wanted < 0) {
            throw std::runtime_error("no probe for a negative key");
        }
        ++made;
    }
    ~Probe() {
        ++destroyed;
        if (mark != kMark) {
            ++destroyedDamaged;
        }
    }
    int key;
    unsigned mark = kMark;
};

// A second kind of value, for a second cache beside one of Probes.
struct OtherProbe : Probe {
    using Probe::Probe;
};

// A Probe that takes a new key in place.
struct ResettableProbe : Probe {
    using Probe::Probe;
    void Reset(int newKey) { key = newKey; }
};

TEST(LastPerThread, KeepsEachThreadsValueAndFreesItWhole) {
    LastPerThread<int, Probe> last;
    ResetCounts();
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

TEST(LastPerThread, ResetsInPlaceAndKeepsItsValueWhenMakingThrows) {
    LastPerThread<int, ResettableProbe> resettable;
    LastPerThread<int, Probe> plain;
    ResetCounts();
    ResettableProbe& first = resettable.For(1);
    EXPECT_EQ(&resettable.For(2), &first);
    EXPECT_EQ(first.key, 2);
    EXPECT_EQ(made, 1);

    Probe& kept = plain.For(3);
    EXPECT_THROW(plain.For(-1), std::runtime_error);
    EXPECT_EQ(&plain.For(3), &kept);
    EXPECT_EQ(made, 2);
    EXPECT_EQ(destroyed, 0);
}

TEST(LastPerThread, ReleaseThisThreadFreesEveryCacheOfThisThreadOnly) {
    LastPerThread<int, Probe> probes;
    LastPerThread<int, OtherProbe> others;
    ResetCounts();
    probes.For(1);
    others.For(2);
    std::thread other([&] {
        probes.For(3);
        ThreadCaches::ReleaseThisThread();
        EXPECT_EQ(destroyed, 1);
    });
    other.join();
    EXPECT_EQ(destroyed, 1);

    ThreadCaches::ReleaseThisThread();
    EXPECT_EQ(destroyed, 3);
    EXPECT_EQ(destroyedDamaged, 0);
    EXPECT_EQ(probes.For(1).key, 1);
    EXPECT_EQ(made, 4); // made anew after the release
}

} // namespace
} // namespace texelary
