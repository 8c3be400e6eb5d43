// The tap callback must not touch the heap: it runs for every input event of the machine while a
// session is open, and the system disables a tap whose callback is slow. This binary replaces the
// global allocation functions with counting ones and calls Switcher::tapCallback directly,
// 100,000 times each:
// - while holding, with every event that lets the session go on (movements, drags, Tab and arrow
//   key-downs, key-ups, flag changes, mouse-ups whose press was never seen) and our own
//   marker-stamped events of all 14 types, those that would otherwise end the session included;
// - while finishing after a left click, with every type but the awaited mouse-up, and the
//   tap-disabled notifications.
// Not counted: the events that end a session and the awaited mouse-up. They arm the exit timer
// (its action and handle may allocate) once or twice a session, not per event.

#include "platform/sim/sim.h"
#include "session/switcher.h"

#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>
#include <new>
#include <vector>

namespace {
std::atomic<long> allocations{0};
}

// The array and nothrow forms call these; nothing here is over-aligned. Our operator new is
// malloc, so free is its match, whatever the compiler concludes after inlining.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* memory = std::malloc(size ? size : 1)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}

namespace {

using namespace platform;
using quorvane::Switcher;

struct Arrival {
  EventType type;
  Owned<Event> event;
};

std::vector<Arrival> arrivals;

void arrive(EventType type, KeyCode key = 0, std::int64_t user = 0) {
  Owned<Event> event = createKeyboardEvent(nullptr, key, true);
  setType(*event, type);
  setIntegerField(*event, EventField::sourceUserData, user);
  arrivals.push_back({type, std::move(event)});
}

long allocationsFor100000Events(Switcher& switcher) {
  const long before = allocations.load();
  for (int i = 0; i < 100'000; ++i) {
    const Arrival& arrival = arrivals[i % arrivals.size()];
    Switcher::tapCallback(arrival.type, arrival.event.get(), &switcher);
  }
  return allocations.load() - before;
}

constexpr std::uint32_t sessionTypes[] = {1, 2, 3, 4, 5, 6, 7, 10, 11, 12, 22, 25, 26, 27};

TEST(PerEventPath, AllocatesNothing) {
  const long before = allocations.load();
  ::operator delete(::operator new(8));
  ASSERT_EQ(allocations.load() - before, 1) << "the counter counts";

  sim::reset();
  Switcher switcher;
  switcher.start();
  arrivals.clear();
  for (EventType type :
       {EventType::mouseMoved, EventType::leftMouseDragged, EventType::rightMouseDragged,
        EventType::otherMouseDragged, EventType::keyUp, EventType::flagsChanged,
        EventType::leftMouseUp, EventType::rightMouseUp, EventType::otherMouseUp})
    arrive(type);
  for (KeyCode key : {key::tab, key::leftArrow, key::rightArrow})
    arrive(EventType::keyDown, key);
  for (std::uint32_t type : sessionTypes)
    arrive(static_cast<EventType>(type), key::escape, switcher.marker);
  EXPECT_EQ(allocationsFor100000Events(switcher), 0) << "while holding";
  ASSERT_TRUE(switcher.isHolding());

  arrive(EventType::leftMouseDown);
  Switcher::tapCallback(EventType::leftMouseDown, arrivals.back().event.get(), &switcher);
  ASSERT_TRUE(switcher.isFinishing());
  arrivals.clear();
  for (std::uint32_t type : sessionTypes)
    if (type != 2) arrive(static_cast<EventType>(type), key::escape);
  arrive(EventType::tapDisabledByTimeout);
  arrive(EventType::tapDisabledByUserInput);
  EXPECT_EQ(allocationsFor100000Events(switcher), 0) << "while finishing";
  // Nothing above was taken for the click's own mouse-up, which is still awaited.
  arrive(EventType::leftMouseUp);
  EXPECT_EQ(Switcher::tapCallback(EventType::leftMouseUp, arrivals.back().event.get(), &switcher),
            nullptr);
}

} // namespace
