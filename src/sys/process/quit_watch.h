// Requests from the system to end the program (SIGTERM, SIGINT, and SIGHUP when its terminal
// closes, unless it was started with hangups ignored): caught here, handed to the message queue as
// a quit at its next poll, and watched. A request the main loop has not answered (handed to the
// game as a close) within the grace time (a script that never returns holds the loop, a loop that
// polls but never hands the close on holds it as well) ends the program after one log line, with
// kUnansweredQuitStatus; what the program saves is written to a temporary name and renamed, so a
// hard end damages nothing saved.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace sys
{

constexpr uint32_t kQuitGraceMs = 5000;
constexpr int kUnansweredQuitStatus = 2;

// Installs the handlers and starts the watch; later calls do nothing. Costs nothing per frame: the
// watch sleeps until a request arrives. A reader of the program's output that goes away (the trace
// piped into `head`) never ends the program: SIGPIPE is ignored, so such a write fails with EPIPE,
// which its writer handles; a write past the file-size limit fails with EFBIG the same way (SIGXFSZ
// ignored). Programs started from here get both back at their defaults.
void StartQuitWatch();
// The message queue's check: true once for the requests that arrived since the last call.
bool TakeQuitRequest();
// Whether a request arrived that the main loop has not answered yet: whatever holds the loop (a
// wait) gives way, or the watch ends the program.
bool QuitRequestPending();
// How many requests arrived in the run so far: a wait beside the main loop (a save's, on its own
// thread) gives way to one that arrived since it began, though the loop has answered it.
uint32_t QuitRequestCount();
// The pump handed a close or a quit to the game: the requests taken so far are answered.
void AnswerQuitRequests();
// Where the watch's line goes (the platform's log); standard error while empty.
void SetQuitWatchLogSink(std::function<void(const std::string&)> sink);
// What the watch runs, on its own thread, before it ends the program: the platform says there what
// the end loses (the saves not yet written). Nothing while empty.
void SetQuitWatchLastWords(std::function<void()> say);

} // namespace sys
