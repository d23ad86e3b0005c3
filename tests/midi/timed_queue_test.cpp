// The hand-over to real-time callbacks: the lock-free ring, and the time-ordered queue that places
// messages by their times, withdraws what a stop cancels and never loses order.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "midi/spsc_ring.h"
#include "midi/timed_queue.h"

namespace varnel {
namespace {

using std::chrono::milliseconds;

TEST(SpscRing, FillAndDrain_KeepsOrderAndRefusesWhenFull) {
  SpscRing<int> ring(5);  // rounded up to 8
  EXPECT_EQ(ring.Capacity(), 8u);
  for (int round = 0; round < 3; ++round) {  // the indexes wrap around
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(ring.Push(round * 10 + i));
    EXPECT_FALSE(ring.Push(99));
    int value = -1;
    for (int i = 0; i < 8; ++i) {
      ASSERT_TRUE(ring.Pop(value));
      EXPECT_EQ(value, round * 10 + i);
    }
    EXPECT_FALSE(ring.Pop(value));
    EXPECT_TRUE(ring.Empty());
  }
}

TEST(SpscRing, TwoThreads_EveryItemArrivesOnceInOrder) {
  SpscRing<uint32_t> ring(64);
  constexpr uint32_t count = 200'000;
  std::thread producer([&] {
    for (uint32_t i = 0; i < count;)
      if (ring.Push(i)) ++i;
  });
  uint32_t expected = 0, value = 0;
  bool inOrder = true;
  while (expected < count) {
    if (!ring.Pop(value)) continue;
    inOrder = inOrder && value == expected;
    ++expected;
  }
  producer.join();
  EXPECT_TRUE(inOrder);
  EXPECT_TRUE(ring.Empty());
}

class TimedQueueTest : public ::testing::Test {
 protected:
  static MidiTime At(int ms) { return MidiTime{} + std::chrono::hours(1) + milliseconds(ms); }
  static ShortMessage Note(int note) { return MakeShortMessage(0x90, uint8_t(note), 100); }
  // Takes every pending message: (time in ms after the base, note).
  std::vector<std::pair<int, int>> Drain() {
    queue.Collect();
    std::vector<std::pair<int, int>> out;
    while (!queue.Empty()) {
      const TimedMessage& m = queue.Front();
      out.push_back({int((FromNs(m.timeNs) - At(0)) / milliseconds(1)), m.message.bytes[1]});
      queue.PopFront();
    }
    return out;
  }
  TimedMessageQueue queue{16};
};

TEST_F(TimedQueueTest, Collect_MixedTimes_TimeOrderWithEqualTimesAsPushed) {
  queue.Push(Note(1), At(30));
  queue.Push(Note(2), At(10));
  queue.Push(Note(3), At(30));
  queue.Push(Note(4), At(20));
  queue.Push(Note(5), At(10));
  using Expected = std::vector<std::pair<int, int>>;
  EXPECT_EQ(Drain(), (Expected{{10, 2}, {10, 5}, {20, 4}, {30, 1}, {30, 3}}));
}

TEST_F(TimedQueueTest, SendNow_IsStampedWithTheMomentOfThePush) {
  const MidiTime before = MidiClock::now();
  queue.Push(Note(1), SendNow);
  const MidiTime after = MidiClock::now();
  queue.Collect();
  ASSERT_FALSE(queue.Empty());
  EXPECT_GE(FromNs(queue.Front().timeNs), before);
  EXPECT_LE(FromNs(queue.Front().timeNs), after);
}

TEST_F(TimedQueueTest, CancelAfter_DropsOnlyLaterMessagesPushedBeforeIt) {
  struct Case {
    const char* name;
    bool collectBeforeCancel;  // the messages already pending, or still in the ring
  };
  for (const Case c : {Case{"pending", true}, Case{"in the ring", false}}) {
    SCOPED_TRACE(c.name);
    queue.Push(Note(1), At(10));
    queue.Push(Note(2), At(20));
    queue.Push(Note(3), At(30));
    if (c.collectBeforeCancel) queue.Collect();
    queue.CancelAfter(At(20));
    queue.Push(Note(4), At(40));  // the note-offs of a stop come after the cancel, possibly later
    queue.Push(Note(5), At(15));
    using Expected = std::vector<std::pair<int, int>>;
    EXPECT_EQ(Drain(), (Expected{{10, 1}, {15, 5}, {20, 2}, {40, 4}}));
  }
}

TEST_F(TimedQueueTest, Full_LosesAndCountsNewMessagesButKeepsTheOld) {
  for (int i = 0; i < 16; ++i) EXPECT_TRUE(queue.Push(Note(i), At(i)));
  EXPECT_FALSE(queue.Push(Note(99), At(99)));
  EXPECT_EQ(queue.Lost(), 1u);
  const auto drained = Drain();
  ASSERT_EQ(drained.size(), 16u);
  EXPECT_EQ(drained.back(), (std::pair<int, int>{15, 15}));
}

TEST_F(TimedQueueTest, PendingFull_RestWaitsInTheRingUntilThereIsRoom) {
  TimedMessageQueue small(4);  // ring and pending list of four each
  for (int i = 0; i < 4; ++i) small.Push(Note(i), At(100 - i));
  small.Collect();
  for (int i = 4; i < 8; ++i) EXPECT_TRUE(small.Push(Note(i), At(i)));
  small.Collect();  // nothing fits yet
  EXPECT_EQ(small.PendingCount(), 4u);
  std::vector<int> notes;
  while (notes.size() < 8) {
    ASSERT_FALSE(small.Empty());
    notes.push_back(small.Front().message.bytes[1]);
    small.PopFront();
    small.Collect();
  }
  // The first four were pending in time order (97..100); each pop let one waiting message in, and
  // those, being earlier, came next.
  EXPECT_EQ(notes, (std::vector<int>{3, 4, 5, 6, 7, 2, 1, 0}));
}

}  // namespace
}  // namespace varnel
