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

// An alert shown from a main-queue block, as the failure alerts are, holds back every other
// main-queue block until it ends; a signal's action and a timer still run under it.
TEST(Platform, MainQueueRunsOneBlockAtATime) {
  sim::Setup setup;
  setup.alertAnswer = 2;
  setup.inputs = {{.time = 1, .kind = sim::Input::Kind::signal}};
  sim::reset(setup);
  watchSignal(Signal::terminate, [] { note("signal action"); });
  runOnMainQueueAfter(0.35, [] {
    runOnMainQueueAfter(0.1, [] { note("queued block"); });
    const Owned<Timer> timer = scheduleTimer(0.1, [] { note("timer"); });
    runAlert("Quorvane", "failed");
  });
  Application::shared().run();
  std::vector<std::string> lines;
  for (const sim::LogLine& line : sim::log())
    lines.push_back(sim::stamped(line.time, line.text));
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "0.450 note timer", "1.000 signal TERM", "1.000 note signal action",
                       "2.350 alert Quorvane | failed -> 0", "2.350 note queued block"}));
}

} // namespace
