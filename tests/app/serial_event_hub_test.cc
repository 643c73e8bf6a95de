// The hub that hands the port's traffic to every listener: each listener
// gets every byte once and in order until it falls behind, then a gap with
// the count it missed; state events are never dropped; listeners are
// bounded and end when the hub stops.
#include "app/serial_event_hub.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantrel {
namespace {

using Kind = SerialEventHub::EventKind;

// The events a listener takes, as "kind:data" words.
std::vector<std::string> Taken(SerialEventHub::Listener& listener, bool* going_on = nullptr) {
  static const char* const kNames[] = {"open", "close", "lost", "rx", "tx", "gap"};
  std::vector<SerialEventHub::Event> events;
  const bool more = listener.Take(events);
  if (going_on != nullptr) *going_on = more;
  std::vector<std::string> words;
  for (const SerialEventHub::Event& event : events) {
    words.push_back(std::string(kNames[static_cast<int>(event.kind)]) + ":" + event.data);
  }
  return words;
}

using Words = std::vector<std::string>;

TEST(SerialEventHubTest, SlowListenerGetsAGapWithTheMissedCountWhileTheOtherGetsEveryByte) {
  SerialEventHub hub(/*backlog_bytes=*/8);
  auto slow = hub.Join(4);
  auto fast = hub.Join(4);
  ASSERT_TRUE(slow && fast);
  int wakes = 0;
  slow->SetWake([&wakes] { ++wakes; });

  hub.Received("012345");
  EXPECT_EQ(Taken(*fast), Words({"rx:012345"}));
  hub.Received("6789");  // Two bytes past the slow one's backlog.
  hub.Sent("ab");
  hub.Received("cd");
  EXPECT_EQ(Taken(*fast), Words({"rx:6789", "tx:ab", "rx:cd"}));
  EXPECT_EQ(wakes, 1) << "one wake-up until the listener takes";

  EXPECT_EQ(Taken(*slow), Words({"rx:01234567", "gap:6"}));
  hub.Received("e");
  hub.Received("f");
  EXPECT_EQ(Taken(*slow), Words({"rx:ef"})) << "it goes on after the gap, bytes joined";
  EXPECT_EQ(wakes, 2);

  // A held listener comes back by itself: bytes and the stop meanwhile wake
  // nobody, and the next take hands them over with the end.
  slow->Hold();
  hub.Received("g");
  hub.Stop();
  EXPECT_EQ(wakes, 2);
  bool going_on = true;
  EXPECT_EQ(Taken(*slow, &going_on), Words({"rx:g"}));
  EXPECT_FALSE(going_on);
}

TEST(SerialEventHubTest, ListenerJoiningAnOpenPortHearsItsStateFirstAndStateChangesOnce) {
  SerialEventHub hub;
  hub.PortOpened("COM1 9600 8 None 1 None");
  hub.DeviceLost();
  auto listener = hub.Join(1);
  ASSERT_TRUE(listener);
  EXPECT_EQ(Taken(*listener), Words({"open:COM1 9600 8 None 1 None", "lost:"}));

  hub.DeviceLost();
  hub.PortOpened("COM1 19200 8 None 1 None");  // openport again on the open port.
  hub.PortOpened("COM1 19200 8 None 1 None");
  hub.PortClosed();
  hub.PortClosed();
  EXPECT_EQ(Taken(*listener), Words({"open:COM1 19200 8 None 1 None", "close:"}));
}

// A page opening and closing the port in a loop must not grow the queue of
// a listener that reads nothing: state events are not dropped, so the
// listener is ended instead (its browser connects again).
TEST(SerialEventHubTest, AnswerReceivedWhileTheCommandIsWrittenFollowsTheCommand) {
  SerialEventHub hub(/*backlog_bytes=*/16);
  auto listener = hub.Join(1);
  ASSERT_TRUE(listener);

  hub.Sending();
  hub.Received("2\r");  // The device answered before the write returned.
  EXPECT_EQ(Taken(*listener), Words()) << "held until the command is reported";
  hub.Sent("COUNT?\r");
  EXPECT_EQ(Taken(*listener), Words({"tx:COUNT?\r", "rx:2\r"}));

  // A device streaming through a long write is held only up to the backlog,
  // then flows in its own order; a write that fails releases what is held.
  hub.Sending();
  hub.Received("abcdefghij");
  hub.Received("klmnopq");
  EXPECT_EQ(Taken(*listener), Words({"rx:abcdefghijklmnop", "gap:1"}));
  hub.Received("r");
  EXPECT_EQ(Taken(*listener), Words());
  hub.Sent("");
  hub.Received("s");
  EXPECT_EQ(Taken(*listener), Words({"rx:rs"})) << "nothing is held once the write is over";
}

TEST(SerialEventHubTest, StateFloodEndsTheListenerThatDoesNotReadAndNoOther) {
  SerialEventHub hub(/*backlog_bytes=*/1024);
  auto idle = hub.Join(2);
  auto reading = hub.Join(2);
  for (int i = 0; i < 1000; ++i) {
    hub.PortOpened("port " + std::to_string(i));
    hub.PortClosed();
    bool going_on = false;
    ASSERT_EQ(Taken(*reading, &going_on).size(), 2u);
    ASSERT_TRUE(going_on);
  }
  bool going_on = true;
  EXPECT_LT(Taken(*idle, &going_on).size(), 100u);
  EXPECT_FALSE(going_on);
}

TEST(SerialEventHubTest, ListenersAreBoundedLeavingFreesAPlaceAndStopEndsThemAll) {
  SerialEventHub hub;
  EXPECT_FALSE(hub.Join(0)) << "0 turns the stream off";
  auto first = hub.Join(2);
  auto second = hub.Join(2);
  ASSERT_TRUE(first && second);
  EXPECT_FALSE(hub.Join(2));
  second.reset();
  EXPECT_EQ(hub.ListenerCount(), 1);
  second = hub.Join(2);
  ASSERT_TRUE(second);

  bool woken = false;
  first->SetWake([&woken] { woken = true; });
  hub.Stop();
  EXPECT_TRUE(woken);
  bool going_on = true;
  EXPECT_EQ(Taken(*first, &going_on), Words());
  EXPECT_FALSE(going_on);
  EXPECT_FALSE(hub.Join(3));
  hub.Start();
  EXPECT_FALSE(hub.Join(2)) << "the ended ones still hold their places until they leave";
  first.reset();
  EXPECT_TRUE(hub.Join(2));
}

}  // namespace
}  // namespace vantrel
