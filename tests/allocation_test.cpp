// The tap callback must not touch the heap: it runs for every input event of the machine while a
// session is open, and the system disables a tap whose callback is slow. This binary replaces the
// global allocation functions with counting ones and calls Switcher::tapCallback directly.
//
// Counted, 100,000 events each:
// - while holding: every event that lets the session go on: pointer movement and the three drags,
//   Tab and arrow key-downs, key-ups, flag changes, mouse-ups whose press was never seen, and our
//   own marker events of all 14 types, including those that would otherwise end the session;
// - while finishing after a left click: every type but the awaited left mouse-up, with the
//   tap-disabled notifications, any key-down and our own marker events.
// Not counted: the events that end a session while holding (clicks, scrolling, other keys, the
// tap-disabled notifications) and the awaited mouse-up while finishing. They go through finish or
// re-arm the exit timer, and scheduling a timer (its action and handle) and the simulated
// backend's log of what finish posts may allocate; that happens once or twice a session, not per
// event. Nor is setting up: starting the session and making the events.

#include "platform/sim/sim.h"
#include "session/switcher.h"

#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>
#include <new>
#include <vector>

namespace {

std::atomic<long> allocations{0};

void* allocate(std::size_t size, std::size_t alignment = alignof(std::max_align_t)) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  size = size ? size : 1;
  if (alignment <= alignof(std::max_align_t)) return std::malloc(size);
  // aligned_alloc takes a whole number of alignments.
  return std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
}

void* allocateOrThrow(std::size_t size, std::size_t alignment = alignof(std::max_align_t)) {
  if (void* memory = allocate(size, alignment)) return memory;
  throw std::bad_alloc();
}

} // namespace

// clang-format off
void* operator new(std::size_t size) { return allocateOrThrow(size); }
void* operator new[](std::size_t size) { return allocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new(std::size_t size, std::align_val_t a) { return allocateOrThrow(size, std::size_t(a)); }
void* operator new[](std::size_t size, std::align_val_t a) { return allocateOrThrow(size, std::size_t(a)); }
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept { return allocate(size, std::size_t(a)); }
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept { return allocate(size, std::size_t(a)); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete(void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::align_val_t, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, std::align_val_t, const std::nothrow_t&) noexcept { std::free(memory); }
// clang-format on

namespace {

using namespace platform;
using quorvane::Switcher;

constexpr int eventCount = 100'000;

constexpr EventType allTypes[] = {
    EventType::leftMouseDown,     EventType::leftMouseUp,      EventType::rightMouseDown,
    EventType::rightMouseUp,      EventType::otherMouseDown,   EventType::otherMouseUp,
    EventType::mouseMoved,        EventType::leftMouseDragged, EventType::rightMouseDragged,
    EventType::otherMouseDragged, EventType::keyDown,          EventType::keyUp,
    EventType::flagsChanged,      EventType::scrollWheel,
};

struct Input {
  EventType type;
  KeyCode key = 0;
  bool marked = false;
};

struct Arrival {
  EventType type;
  Owned<Event> event;
};

Owned<Event> makeEvent(EventType type, KeyCode key, std::int64_t user) {
  Owned<Event> event = createKeyboardEvent(nullptr, key, true);
  setType(*event, type);
  setIntegerField(*event, EventField::sourceUserData, user);
  return event;
}

// The inputs, and our own marker-stamped event of every type (a key-down for a key that would end
// the session).
std::vector<Arrival> withOurOwnEvents(std::vector<Input> inputs, std::int64_t marker) {
  for (EventType type : allTypes)
    inputs.push_back({type, key::escape, true});
  std::vector<Arrival> made;
  for (const Input& input : inputs)
    made.push_back({input.type, makeEvent(input.type, input.key, input.marked ? marker : 0)});
  return made;
}

long allocationsDuring(Switcher& switcher, const std::vector<Arrival>& arrivals) {
  const long before = allocations.load();
  for (int i = 0; i < eventCount; ++i) {
    const Arrival& arrival = arrivals[i % arrivals.size()];
    Switcher::tapCallback(arrival.type, arrival.event.get(), &switcher);
  }
  return allocations.load() - before;
}

TEST(PerEventPath, CountsAllocations) {
  const long before = allocations.load();
  ::operator delete(::operator new(8));
  EXPECT_EQ(allocations.load() - before, 1);
}

// Every event that lets a holding session go on.
const std::vector<Input> goingOn{{EventType::mouseMoved},
                                 {EventType::leftMouseDragged},
                                 {EventType::rightMouseDragged},
                                 {EventType::otherMouseDragged},
                                 {EventType::keyDown, key::tab},
                                 {EventType::keyDown, key::leftArrow},
                                 {EventType::keyDown, key::rightArrow},
                                 {EventType::keyUp, key::escape},
                                 {EventType::flagsChanged},
                                 {EventType::leftMouseUp},
                                 {EventType::rightMouseUp},
                                 {EventType::otherMouseUp}};

TEST(PerEventPath, AllocatesNothingWhileHolding) {
  sim::reset();
  Switcher switcher;
  switcher.start();
  const std::vector<Arrival> events = withOurOwnEvents(goingOn, switcher.marker);
  EXPECT_EQ(allocationsDuring(switcher, events), 0);
  EXPECT_TRUE(switcher.isHolding());
  EXPECT_FALSE(switcher.isFinishing());
}

TEST(PerEventPath, AllocatesNothingWhileFinishing) {
  sim::reset();
  Switcher switcher;
  switcher.start();
  std::vector<Input> inputs{{EventType::keyDown, key::tab},
                            {EventType::tapDisabledByTimeout},
                            {EventType::tapDisabledByUserInput}};
  for (EventType type : allTypes)
    if (type != EventType::leftMouseUp) inputs.push_back({type, key::escape});
  const std::vector<Arrival> events = withOurOwnEvents(inputs, switcher.marker);
  const Owned<Event> click = makeEvent(EventType::leftMouseDown, 0, 0);
  const Owned<Event> release = makeEvent(EventType::leftMouseUp, 0, 0);
  ASSERT_EQ(Switcher::tapCallback(EventType::leftMouseDown, click.get(), &switcher), nullptr);
  ASSERT_TRUE(switcher.isFinishing());

  EXPECT_EQ(allocationsDuring(switcher, events), 0);
  // Still awaiting the click's release: nothing above was taken for it.
  EXPECT_EQ(Switcher::tapCallback(EventType::leftMouseUp, release.get(), &switcher), nullptr);
}

} // namespace
