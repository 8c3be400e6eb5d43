#include "tools/replay/trace.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

struct Malformed {
  const char* trace;
  int line;
  const char* message;
};

const Malformed malformed[] = {
    {"args --x\nwat yes\n", 2, "unknown directive 'wat'"},
    {"1 mouseMoved\ntrusted no\n", 2, "directive 'trusted' after the first event"},
    {"trusted maybe\n", 1, "trusted must be yes or no, not 'maybe'"},
    {"trusted\n", 1, "'trusted' takes exactly one word"},
    {"alert-button third\n", 1, "alert-button must be first or second, not 'third'"},
    {"fail keyboard\n", 1, "cannot fail 'keyboard': tap, runloop-source, event-source or events"},
    {"1 mouseMoved\n0.5 mouseMoved\n", 2, "time goes backwards: 0.5"},
    {"1.x mouseMoved\n", 1, "bad time '1.x'"},
    {".5 mouseMoved\n", 1, "bad time '.5'"},
    {"-1 mouseMoved\n", 1, "bad time '-1'"},
    {"1\n", 1, "missing event name after 1"},
    {"1 mouseJumped\n", 1, "unknown event 'mouseJumped'"},
    {"1 reopen now\n", 1, "unexpected 'now' after reopen"},
    {"1 signal\n", 1, "missing signal name: TERM, INT or HUP"},
    {"1 signal KILL\n", 1, "unknown signal 'KILL': TERM, INT or HUP"},
    {"1 signal SIGTERM\n", 1, "unknown signal 'SIGTERM': TERM, INT or HUP"},
    {"1 signal term\n", 1, "unknown signal 'term': TERM, INT or HUP"},
    {"1 signal TERM now\n", 1, "unexpected 'now' after signal TERM"},
    {"1 signal INT key=1\n", 1, "unexpected 'key=1' after signal INT"},
    {"1 keyDown key=48 key=49\n", 1, "'key' given twice"},
    {"1 keyDown code=48\n", 1, "unexpected 'code=48' after the event"},
    {"1 keyDown 48\n", 1, "unexpected '48' after the event"},
    {"1 keyDown key=65536\n", 1, "'key=65536' is out of range"},
    {"1 keyDown key=-1\n", 1, "bad number in 'key=-1'"},
    {"1 keyDown key=0x\n", 1, "bad number in 'key=0x'"},
    {"1 keyDown flags=0x10000000000000000\n", 1, "'flags=0x10000000000000000' is out of range"},
    {"1 keyDown user=9223372036854775808\n", 1, "'user=9223372036854775808' is out of range"},
    {"1 keyDown user=1e3\n", 1, "bad number in 'user=1e3'"},
};

TEST(TraceErrors, NameTheLineAndWhatIsWrong) {
  for (const Malformed& bad : malformed) {
    std::istringstream input(bad.trace);
    try {
      replay::parseTrace(input);
      ADD_FAILURE() << "accepted: " << bad.trace;
    } catch (const replay::TraceError& error) {
      EXPECT_EQ(error.line, bad.line) << bad.trace;
      EXPECT_STREQ(error.what(), bad.message) << bad.trace;
    }
  }
}

TEST(TraceErrors, AcceptsTheFormsTheFormatAllows) {
  std::istringstream input("# comment\r\n"
                           "args a  b\t c # tail\r\n"
                           "args d\n"
                           "fail tap\nfail events\n"
                           "\n"
                           "1 keyDown key=0x30 flags=0X100000 user=-9223372036854775808\n"
                           "1 keyUp user=0x7fffffffffffffff key=010\r\n"
                           "2.25 reopen\n"
                           "3 signal HUP # logout\n");
  const replay::Trace trace = replay::parseTrace(input);
  EXPECT_EQ(trace.args, std::vector<std::string>{"d"});
  EXPECT_TRUE(trace.setup.fail.tap && trace.setup.fail.events && !trace.setup.fail.eventSource);
  ASSERT_EQ(trace.setup.inputs.size(), 4u);
  EXPECT_EQ(trace.setup.inputs[0].key, 48);
  EXPECT_EQ(trace.setup.inputs[0].flags, 0x100000u);
  EXPECT_EQ(trace.setup.inputs[0].user, INT64_MIN);
  EXPECT_EQ(trace.setup.inputs[1].key, 10); // a leading zero is not octal
  EXPECT_EQ(trace.setup.inputs[1].user, INT64_MAX);
  EXPECT_EQ(trace.setup.inputs[2].kind, sim::Input::Kind::reopen);
  EXPECT_EQ(trace.setup.inputs[2].time, 2.25);
  EXPECT_EQ(trace.setup.inputs[3].kind, sim::Input::Kind::signal);
  EXPECT_EQ(trace.setup.inputs[3].signal, platform::Signal::hangUp);
}

} // namespace
