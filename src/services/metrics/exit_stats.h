// The exit statistics: at teardown the player's metrics file is posted to the game's web site.
#pragma once

// How long teardown waits for the answer before it gives up and keeps the file for the next run.
constexpr unsigned kExitStatsWaitMs = 10000;

// When "postmetrics" is enabled and "user:metrics.txt" holds something, posts it with the game's
// identity to "http://<site>/servlet/exitStats" and waits (polling every 50 ms, at most
// kExitStatsWaitMs) for the answer. The file is deleted only when the server accepted it (a 2xx
// answer); otherwise it stays for the next run. True when the file was sent and deleted.
bool PostExitStats();
