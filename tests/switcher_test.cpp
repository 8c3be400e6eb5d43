// What the traces cannot show: the Switcher's own state and what it asked of the platform.

#include "app/entry.h"
#include "platform/sim/sim.h"
#include "session/switcher.h"

#include <gtest/gtest.h>

namespace {

using namespace platform;
using quorvane::Switcher;

std::vector<std::string> logTexts() {
  std::vector<std::string> texts;
  for (const sim::LogLine& line : sim::log())
    texts.push_back(line.text);
  return texts;
}

TEST(Switcher, StartsIdleWithItsEventSource) {
  sim::reset();
  const Switcher switcher;
  EXPECT_FALSE(switcher.isHolding());
  EXPECT_FALSE(switcher.isFinishing());
  EXPECT_EQ(sim::eventSourcesCreated(), 1);
  EXPECT_TRUE(sim::tapRequests().empty());
  EXPECT_TRUE(sim::log().empty());
}

TEST(Switcher, InstallsAnActiveHeadTapAtTheHidLevelForItself) {
  sim::reset();
  Switcher switcher;
  switcher.start();
  ASSERT_EQ(sim::tapRequests().size(), 1u);
  const sim::TapRequest& tap = sim::tapRequests()[0];
  EXPECT_EQ(tap.location, TapLocation::hid);
  EXPECT_EQ(tap.placement, TapPlacement::headInsert);
  EXPECT_EQ(tap.options, TapOptions::defaultActive);
  EXPECT_EQ(tap.userInfo, &switcher);
  EXPECT_TRUE(switcher.isHolding());
}

TEST(Switcher, ReleasesCommandOnlyWhileHoldingEvenIfNoEventCanBeMade) {
  sim::reset();
  Switcher idle;
  idle.applicationWillTerminate();
  EXPECT_TRUE(sim::log().empty());

  sim::Setup failingEvents;
  failingEvents.fail.events = true;
  sim::reset(failingEvents);
  Switcher failing;
  failing.start();
  EXPECT_TRUE(failing.isHolding());
  failing.applicationWillTerminate();
  EXPECT_FALSE(failing.isHolding());
  EXPECT_EQ(logTexts(), (std::vector<std::string>{"tap create mask=0x0e401cfe -> ok",
                                                  "runloop-source create -> ok", "tap enable",
                                                  "note session started",
                                                  "note session ended: asked to quit"}));
}

TEST(Switcher, TapCallbackWithoutUserInfoPassesTheEventUntouched) {
  sim::reset();
  Switcher switcher;
  switcher.start();
  EXPECT_EQ(Switcher::tapCallback(EventType::scrollWheel, nullptr, nullptr), nullptr);
  EXPECT_FALSE(switcher.isFinishing());
}

TEST(Program, WatchesTheTerminationSignalsOnlyInTheNormalRun) {
  const char* probe[] = {"Quorvane", "--check-permissions"};
  sim::reset();
  quorvane::runProgram(2, probe);
  EXPECT_TRUE(sim::watchedSignals().empty());

  const char* normal[] = {"Quorvane"};
  sim::reset();
  quorvane::runProgram(1, normal);
  EXPECT_EQ(sim::watchedSignals(),
            (std::vector<Signal>{Signal::terminate, Signal::interrupt, Signal::hangUp}));
}

} // namespace
