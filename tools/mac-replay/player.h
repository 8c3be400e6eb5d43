#pragma once

// What quorvane-mac-replay decides, on any host: when each input of a trace is due, what the trace
// and the app hold down, how a run ends and what is posted so that nothing stays held, the
// observation log and the verdict. The macOS shell (main.mm) only does what a Player asks and
// tells it what happened; the dry run (tool.h) plays a Player against a predicted app.
//
// Times are seconds on the tool's clock. The log counts from the launch, as traces do.

#include "platform/sim/sim.h"
#include "tools/compare/observation.h"
#include "tools/replay/trace.h"

#include <deque>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace macreplay {

// The program presses Command this long after its launch; a trace's times count from the launch.
constexpr double pressAt = 0.35;
// How long the app may run on after its launch, or after the last input, before it is ended.
constexpr double patience = 25;
// How far apart times may be once the tool asked LaunchServices for a reopen, or Return opened
// System Settings: its round trip is macOS's, not Quorvane's (docs/replay.md says why this much).
constexpr double launchServicesTolerance = 0.5;
// Time for what was posted last to reach our tap before the log closes.
constexpr double settle = 0.3;
// How long the tool's tap has to see its own probe before listening counts as not allowed.
constexpr double probePatience = 0.5;
// How long an app that was killed has to be gone.
constexpr double exitPatience = 2;
// How long LaunchServices has to answer a launch once the run is ending.
constexpr double launchPatience = 10;
// F20: a key-up of it types nothing, and only a tap allowed to listen is shown it.
constexpr platform::KeyCode probeKey = 90;
// Stamped on the keys the tool presses to answer an alert, which its log leaves out.
constexpr std::int64_t toolMarker = 0x514F5251;
constexpr platform::KeyCode returnKey = 36;
// How often the tool looks for the app's alert, and for System Settings once the alert is up; how
// long the plain window has to come to the front (and a System Settings already up to quit); how
// long System Settings has to come up after the app exited.
constexpr double alertLookEvery = 0.05, settingsLookEvery = 0.25, windowSettle = 1.5,
                 settingsPatience = 8;

// What the shell read of the app's alert window, through the Accessibility API, when it appeared.
struct AlertSight {
  std::string message{}, informative{};
  std::vector<std::string> buttons{}; // as read
  int defaultButton = -1, cancelButton = -1;
  bool frontmost = false;        // the app's own kAXFrontmostAttribute
  bool focused = false;          // the alert was the app's focused (key) window
  int plainPid = 0;              // the owner of the plain window the tool put in front
  std::vector<int> windowOwners; // of the windows on screen, front to back
};

// "alert MESSAGE | INFORMATIVE | BUTTON...", as the simulator predicts it.
std::string alertLine(const AlertSight& alert);

// What macOS's preflight answers say: a hint, since a terminal's rights are what count.
struct Rights {
  bool listen = false;
  bool post = false;
  bool trusted = true; // AXIsProcessTrusted(): no hint, the Accessibility API answers only then
};

// The button of a mouse event, numbered as CGMouseButton is: left 0, right 1, center 2.
int buttonOf(platform::EventType type);
bool isKeyboard(platform::EventType type);
// A keyboard event is made with its key; any other event carries one only where a trace gives it,
// and its key field is then set after it is made.
bool setsKeyField(const sim::Input& event);
// The app's own Command press or release: a flags change of Command that carries our marker.
bool isAppCommand(platform::EventType type, platform::KeyCode key, std::int64_t user);
// What the simulator predicts that a tap behind the app's sees, as the comparer reads it.
std::vector<observation::Line> prediction(const replay::Trace& trace);

// What the shell does next.
struct Action {
  enum class Kind {
    requestListenAccess, // ask macOS for Input Monitoring, which lists the asking program
    requestPostAccess,   // ask macOS for Accessibility likewise
    listen,              // make the tool's listen-only tap; cannotListen() if it cannot
    post,                // make `event` and post it at the HID level (mouse events at the pointer)
    launch,              // open the app, as a launcher does (again, for a reopen)
    showWindow,          // quit System Settings (settingsLeft()), put Finder's window in front
    lookForAlert,        // answer with alertSeen() if `pid` shows its alert
    lookForSettings,     // answer with settingsSeen() for each System Settings running
    quit,                // ask the app `pid` to quit, as a logout does
    signal,              // send `event.signal` to `pid`
    kill,                // SIGKILL `pid`
    stopListening,       // remove the tool's tap
    readModifiers,       // answer with modifiersHeld(): the state tables' flags
    wait,                // until `until`, or until something is reported
    end,                 // print output() and leave with status()
  };
  // Why an event is posted.
  enum class Purpose { probe, input, cancel, release, answer };

  Kind kind = Kind::wait;
  sim::Input event{};               // post: what to post; signal: which
  Purpose purpose = Purpose::input; // post
  int traceLine = 0;                // post, launch, signal: the trace line, if any
  double afterPress = -1;           // post of an input or answer: after the press or alert, or -1
  int pid = 0;                      // signal, kill
  double until = 0;                 // wait
};

class Player {
public:
  // Messages for the user (standard error) go to messages as they arise. A trace with no macos line
  // is predicted for `macos`, the version macOS reports to the tool (0: unknown).
  Player(replay::Trace trace, std::string appPath, bool check, std::ostream& messages,
         int macos = 0);

  // The start. What macOS's preflight says of the rights only guides the messages. An alert trace
  // needs the app's --check-permissions, run as a user's launch runs it, to say "not allowed".
  void begin(double now, Rights rights, bool secureInput, const std::string& appProbe = "");
  Action next(double now);

  // What the shell saw or learnt. see() answers whether the shell should ask next() at once.
  bool see(double now, const sim::Input& event);
  void launched(double now, int pid);
  void launchFailed(double now, const std::string& why);
  void exited(double now, int pid);
  void modifiersHeld(platform::EventFlags flags) { modifiers = flags; }
  void alertSeen(double now, const AlertSight& alert);
  void settingsSeen(double now, int pid, const std::string& title);
  // A System Settings left by an earlier run, asked to quit: it may outlive that, and never counts.
  void settingsLeft(int pid) { leftSettings.push_back(pid); }
  void interrupted(double now) { failed(now, "interrupted"); }
  void failed(double now, const std::string& what);
  // The shell could not make the event of a post, or its tap.
  void cannotPost(double now, const Action& post);
  void cannotListen(double now) { failed(now, "cannot watch input events: " + remedy()); }

  bool ended() const { return stage == Stage::done && queued.empty(); }
  // An alert trace: the app shows an alert, and the trace's times count from it.
  bool playsAlert() const { return alertPredicted.has_value(); }
  // The observation log, one "T WHAT" line each: the tool's standard output.
  std::string output() const;
  int status() const { return exitStatus; }
  // What --check concludes once ended: 0 and what it allowed, 1 and the first disagreement, 2 and
  // why not played. A dry Mac shows the tap no event but the app's Command: the others are left
  // out.
  std::pair<int, std::string> verdict(bool dry = false) const;
  // Why the run ended, in a few words.
  const std::string& endReason() const { return reason; }

private:
  struct Process {
    int pid;
    bool alive = true;
    double killedAt = -1; // not killed
  };
  // One line of the log: an event, or where the session ended.
  struct Seen {
    double time;
    sim::Input event{};
    const char* end = nullptr; // "exit", "still running" or "command held"; null for an event
    std::string sight{};       // of the alert or System Settings
  };
  enum class Stage {
    probing,
    staging,
    playing,
    closeLog,
    stopApps,
    awaitGone,
    readModifiers,
    done
  };

  Action play(double now);
  Action finish(double now);
  void endRun(double now, const std::string& why, int status = 0);
  void say(const std::string& what) { messages << "quorvane-mac-replay: " << what << '\n'; }
  std::string remedy() const;
  void queuePost(const sim::Input& event, Action::Purpose purpose);
  void queueCancel();
  void stopApp(double now);
  void queueKill(Process& process, double now);
  void queueReleases(double now);
  void sumUp();
  void track(const sim::Input& input);
  void judgeFront(double now);
  void measure(const std::string& what, double seconds);
  void mark(double now, const char* end);
  std::optional<double> dueTime(const sim::Input& input) const;
  // What a trace's times count from: the app's Command press, or in an alert trace its alert.
  double anchorPredicted() const { return alertPredicted.value_or(pressAt); }
  std::optional<double> anchorSeen() const { return playsAlert() ? alertAt : pressedAt; }
  Action launchApp(double now);
  double deadline() const;
  Process* find(int pid);
  bool appAlive();

  replay::Trace trace;
  std::vector<observation::Line> predicted; // what the simulator predicts for the trace
  std::string appPath;
  bool check;
  std::ostream& messages;
  std::deque<Action> queued;
  Stage stage = Stage::probing;
  int exitStatus = 0;
  std::string reason;
  std::vector<Seen> seen;

  double probeDeadline = 0;
  bool probeSeen = false;
  bool asked = false; // macOS was asked for a right
  std::optional<double> launchedAt;
  int launchesPending = 0;
  int appPid = 0;
  std::vector<Process> processes; // the app, and any instance a late launch started
  std::optional<double> pressedAt;
  // An alert trace: when the prediction shows the alert, when it appeared here, when the answer is
  // due, and System Settings' pid, its line and whether it had a title.
  std::optional<double> alertPredicted, alertAt, answerDue;
  double windowShownAt = 0, nextLook = 0;
  std::string wrong; // what the last look found out of place
  bool frontJudged = false, viaLaunchServices = false;
  int settingsPid = 0;
  std::vector<int> leftSettings;
  std::size_t settingsLine = 0, frontLine = 0; // in seen
  bool settingsTitled = false;
  std::optional<double> reopenAskedAt;
  std::string measured;  // the delays macOS adds, for --check to print
  bool appHolds = false; // the app's own Command press was seen, and not its release
  std::optional<double> exitedAt;
  std::size_t nextInput = 0;
  double lastPostAt = 0;

  double endingAt = 0;
  bool escaped = false;
  platform::EventFlags modifiers = 0; // the state tables' answer

  // What the trace has pressed and not released: keys, buttons (by the mouse-up they are owed)
  // and modifiers (their flags).
  std::vector<platform::KeyCode> keysDown;
  std::vector<platform::EventType> mouseUpsOwed;
  platform::EventFlags modifiersDown = 0;
};

} // namespace macreplay
