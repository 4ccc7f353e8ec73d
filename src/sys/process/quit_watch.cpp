// The system's quit requests: the signal handlers, the pump's check and the watch thread.
#include "sys/process/quit_watch.h"

#include "sys/process/ignored_signals.h"
#include "sys/process/process.h"
#include "sys/stand_in_log.h"

#include <SDL.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdarg>
#include <mutex>
#include <semaphore.h>
#include <thread>

namespace sys
{
namespace
{
// Requests counted by the handler and by the pump: only lock-free atomics and sem_post are safe in
// a signal handler.
std::atomic<uint32_t> gRequested{0};
std::atomic<uint32_t> gTaken{0};
std::atomic<uint32_t> gAnswered{0};
sem_t gWake;

// A closed terminal (SIGHUP) asks as the others do: the game ends and saves what it keeps.
constexpr int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP};

StandInLog& Channel()
{
    static StandInLog channel("quit");
    return channel;
}

void WriteLine(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    Channel().WriteV(format, args);
    va_end(args);
}

void OnQuitSignal(int)
{
    const int saved = errno;
    gRequested.fetch_add(1);
    sem_post(&gWake);
    errno = saved;
}

std::mutex& LastWordsMutex()
{
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

std::function<void()>& LastWords()
{
    static auto* say = new std::function<void()>;
    return *say;
}

// Sleeps until a request arrives, then gives the main loop the grace time to answer it.
void Watch()
{
    for (;;)
    {
        while (sem_wait(&gWake) != 0)
        {
        }
        const uint32_t wanted = gRequested.load();
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kQuitGraceMs);
        while (gAnswered.load() < wanted && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (gAnswered.load() < wanted)
        {
            WriteLine("quit request not answered in %u s: ending",
                      static_cast<unsigned>(kQuitGraceMs / 1000));
            std::function<void()> say;
            {
                std::lock_guard<std::mutex> guard(LastWordsMutex());
                say = LastWords();
            }
            if (say)
                say();
            ExitProcess(kUnansweredQuitStatus);
        }
    }
}
} // namespace

void StartQuitWatch()
{
    static std::once_flag started;
    std::call_once(started,
                   []
                   {
                       // SDL's own handlers would turn the signal into an event only a running
                       // pump sees; these do that and also wake the watch.
                       SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
                       sem_init(&gWake, 0, 0);
                       std::thread(Watch).detach();
                       struct sigaction action = {};
                       action.sa_handler = OnQuitSignal;
                       sigemptyset(&action.sa_mask);
                       action.sa_flags = SA_RESTART;
                       for (int signal : kQuitSignals)
                       {
                           // Hangups ignored by whoever started the program (nohup) stay
                           // ignored: the game is to outlive its terminal.
                           struct sigaction old = {};
                           if (signal == SIGHUP && sigaction(signal, nullptr, &old) == 0 &&
                               old.sa_handler == SIG_IGN)
                               continue;
                           sigaction(signal, &action, nullptr);
                       }
                       struct sigaction ignore = {};
                       ignore.sa_handler = SIG_IGN;
                       sigemptyset(&ignore.sa_mask);
                       for (int signal : kIgnoredWriteSignals)
                           sigaction(signal, &ignore, nullptr);
                   });
}

bool TakeQuitRequest()
{
    const uint32_t requested = gRequested.load();
    if (gTaken.load() >= requested)
        return false;
    gTaken.store(requested);
    return true;
}

bool QuitRequestPending()
{
    return gAnswered.load() < gRequested.load();
}

uint32_t QuitRequestCount()
{
    return gRequested.load();
}

void AnswerQuitRequests()
{
    gAnswered.store(gTaken.load());
}

void SetQuitWatchLogSink(std::function<void(const std::string&)> sink)
{
    Channel().SetSink(std::move(sink));
}

void SetQuitWatchLastWords(std::function<void()> say)
{
    std::lock_guard<std::mutex> guard(LastWordsMutex());
    LastWords() = std::move(say);
}

} // namespace sys
