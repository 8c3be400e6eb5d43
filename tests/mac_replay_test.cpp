// quorvane-mac-replay's decisions, data-driven: every .dry-run file beside a trace, under traces/
// (the Mac check's traces, against the app the simulator predicts) and under mac-replay/ (its
// endings, against a Mac that a "# mac:" line in the trace describes, as the tool reads it), is
// what the dry run prints, verdict included. Then the log and the verdict of a played run, an
// alert's line however its buttons are read, a played alert's timing, how each posted event is
// made, and the traces a real Mac cannot follow.

#include "tests/error_cases.h"
#include "tools/compare/observation.h"
#include "tools/mac-replay/tool.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

namespace fs = std::filesystem;

const fs::path tests = QUORVANE_TESTS_DIR;

std::string contents(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

replay::Trace traceOf(const std::string& text) {
  std::istringstream input(text);
  return replay::parseTrace(input);
}

std::vector<std::string> dryRunFiles() {
  std::vector<std::string> found;
  for (const char* folder : {"traces", "mac-replay"})
    for (const fs::directory_entry& entry : fs::directory_iterator(tests / folder))
      if (entry.path().extension() == ".dry-run")
        found.push_back(fs::relative(entry.path(), tests).replace_extension().string());
  std::sort(found.begin(), found.end());
  return found;
}

class DryRun : public testing::TestWithParam<std::string> {};

// A dry run under mac-replay/ with no trace beside it is of the trace of its name under traces/.
TEST_P(DryRun, DoesWhatItsFileSays) {
  fs::path path = tests / (GetParam() + ".trace");
  if (!fs::exists(path)) path = tests / "traces" / path.filename();
  const std::string trace = contents(path);
  std::ostringstream printed;
  macreplay::dryRun(traceOf(trace), macreplay::macOf(traceOf(trace), trace), printed);
  EXPECT_EQ(printed.str(), contents(tests / (GetParam() + ".dry-run")));
}

INSTANTIATE_TEST_SUITE_P(Cases, DryRun, testing::ValuesIn(dryRunFiles()),
                         [](const testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           std::replace_if(
                               name.begin(), name.end(), [](char c) { return !std::isalnum(c); },
                               '_');
                           return name;
                         });

// The traces that the Mac check plays, as its script lists them, each with its dry run: the
// alerts' under mac-replay/.
TEST(MacCheck, EveryTraceItPlaysHasADryRun) {
  const std::string script = contents(tests / "../tools/mac-replay/check-traces.cmake");
  for (const auto& [list, folder, least] :
       {std::tuple("set(traces", "traces", 9), std::tuple("set(alerts", "mac-replay", 5)}) {
    const std::size_t at = script.find(list);
    ASSERT_NE(at, std::string::npos) << list;
    const std::size_t from = at + std::string(list).size();
    std::istringstream names(script.substr(from, script.find(')', at) - from));
    int count = 0;
    for (std::string name; names >> name; ++count)
      EXPECT_TRUE(fs::exists(tests / folder / (name + ".dry-run"))) << name;
    EXPECT_GE(count, least) << list;
  }
}

// A played run: the log is what the tap saw, from the launch, and the verdict compares it with
// the prediction; a missing Escape is a disagreement. The latency counts from the launch.
TEST(PlayedRun, LogsWhatItSawAndComparesItWithThePrediction) {
  const replay::Trace trace = traceOf(contents(tests / "traces/other-keys-cancel.trace"));
  std::string predicted;
  for (const std::string& line : replay::observe(trace))
    predicted += line + '\n';
  for (const std::string escape : {"", "1.200 keyDown key=53 flags=0x100000 user=1364152918\n"}) {
    std::string seen = predicted;
    seen.erase(seen.find(escape), escape.size());
    std::istringstream seenLines(seen);
    std::ostringstream said;
    macreplay::Player player(trace, "Quorvane.app", true, said);
    double now = 10; // the launch, on the tool's clock
    player.begin(now, {.listen = true, .post = true}, false);
    ASSERT_EQ(player.next(now).kind, macreplay::Action::Kind::listen);
    player.see(now, player.next(now).event); // the probe
    ASSERT_EQ(player.next(now).kind, macreplay::Action::Kind::launch);
    player.launched(now, 7);
    for (const observation::Line& line : observation::parseLog(seenLines))
      if (line.kind == observation::Line::Kind::exit)
        player.exited(now + line.time, 7);
      else
        player.see(now + line.time,
                   {.type = line.type, .key = line.key, .flags = line.flags, .user = line.user});
    while (!player.ended())
      if (const macreplay::Action action = player.next(now);
          action.kind == macreplay::Action::Kind::wait)
        now = action.until;
    EXPECT_EQ(player.output(), seen);
    EXPECT_EQ(player.status(), escape.empty() ? 0 : 1) << said.str();
    EXPECT_NE(said.str().find("launch-to-switcher latency: 0.350 s\n"), std::string::npos);
  }
}

// The alert as the Accessibility API may list its buttons, in either order: the default button is
// named first and the one Esc chooses is marked, as the simulator predicts them.
TEST(AlertLine, DoesNotDependOnTheOrderTheButtonsAreRead) {
  const sim::Alert alert{
      .message = "M", .informative = "I", .buttons = {"Open", "Close"}, .escapeButton = 1};
  for (const std::vector<int>& order : {std::vector{0, 1}, std::vector{1, 0}}) {
    macreplay::AlertSight read;
    read.message = "M", read.informative = "I";
    for (int added : order) {
      if (added == 0) read.defaultButton = static_cast<int>(read.buttons.size());
      if (added == 1) read.cancelButton = static_cast<int>(read.buttons.size());
      read.buttons.push_back(alert.buttons.at(added));
    }
    EXPECT_EQ(macreplay::alertLine(read), "alert " + sim::describe(alert)) << order[0];
  }
}

// A played alert trace: the alert is looked at until it comes in front; what macOS adds (the look,
// the activation, LaunchServices' answer to the reopen, the exit) is measured and printed, and
// the verdict allows LaunchServices its tolerance.
TEST(PlayedAlert, ComesInFrontLateAndMeasuresWhatMacOSAdds) {
  std::ostringstream said;
  macreplay::Player player(traceOf("trusted no\nalert-answer never\n2.000 reopen\n"),
                           "Quorvane.app", true, said);
  player.begin(0, {.listen = true, .post = true}, false, "Accessibility: not allowed");
  double now = 0, alertAt = 0;
  macreplay::AlertSight alert{.message = "アクセシビリティの許可が必要です",
                              .informative = sim::alerts().at(0).informative,
                              .buttons = sim::alerts().at(0).buttons,
                              .defaultButton = 0,
                              .cancelButton = 1,
                              .plainPid = 9,
                              .windowOwners = {9, 7}};
  for (macreplay::Action action = player.next(now); action.kind != macreplay::Action::Kind::end;
       action = player.next(now)) {
    using Kind = macreplay::Action::Kind;
    if (action.kind == Kind::post) player.see(now, action.event); // the probe
    if (action.kind == Kind::wait) now = action.until;
    if (action.kind == Kind::launch && action.traceLine == 0) player.launched(now, 7);
    if (action.kind == Kind::launch && action.traceLine != 0) { // answered, then the app exits
      player.launched(now += 0.2, 7);
      player.exited(now += 0.1, 7);
    }
    if (action.kind != Kind::lookForAlert) continue;
    alertAt = alertAt == 0 ? now + 0.01 : alertAt;
    alert.frontmost = alert.focused = now >= alertAt + 0.29; // activated 0.3 s after it appeared
    if (alert.frontmost) alert.windowOwners = {7, 9};
    player.alertSeen(now + 0.01, alert);
  }
  EXPECT_EQ(player.output(), "0.010 alert " + sim::describe(sim::alerts().at(0)) +
                                 "\n0.010 alert in front\n2.310 exit\n");
  EXPECT_NE(said.str().find("measured delays: alert read in 0.010 s, in front after 0.300 s, "
                            "LaunchServices answered the reopen in 0.200 s, exit after the "
                            "predicted time by 0.300 s\nagree (times within 0.500 s"),
            std::string::npos)
      << said.str();
  EXPECT_EQ(player.status(), 0);
}

// How the Mac shell makes each event it posts: its kind and button, and the key it then sets.
TEST(PostedEvents, AreMadeWithTheirButtonAndKey) {
  std::ifstream rows(tests / "posted-events.txt");
  int count = 0;
  for (std::string row; std::getline(rows, row);) {
    if (row.starts_with('#')) continue;
    ++count;
    const std::size_t bar = row.find(" | ");
    const sim::Input event = traceOf("1 " + row.substr(0, bar)).setup.inputs.at(0);
    std::string made = macreplay::isKeyboard(event.type)
                           ? "keyboard"
                           : "button " + std::to_string(macreplay::buttonOf(event.type));
    if (macreplay::setsKeyField(event)) made += ", then key " + std::to_string(event.key);
    EXPECT_EQ(made, row.substr(bar + 3)) << row;
  }
  EXPECT_GE(count, 16);
}

TEST(UnplayableTraces, AreRefusedWithTheirLineAndWhy) {
  const std::vector<cases::ErrorCase> unplayable = cases::errorCases(tests / "unplayable.txt");
  for (const auto& [trace, expected] : unplayable)
    EXPECT_EQ(macreplay::unplayable(traceOf(trace)).value_or("0: playable"), expected);
  EXPECT_GE(unplayable.size(), 7u);
}

} // namespace
