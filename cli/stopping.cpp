#include "cli/stopping.h"

#include <csignal>
#include <unistd.h>

namespace Stopping {

namespace {

std::atomic<bool> Stop = false;
std::atomic<bool> Again = false;
std::atomic<bool> AtOnce = false;

static_assert(std::atomic<bool>::is_always_lock_free, "touched by a signal handler");

extern "C" void OnSignal(int)
{
    if (AtOnce) {
        static constexpr char text[] = "\ntunepress: stopped\n";
        static_cast<void>(::write(STDERR_FILENO, text, sizeof text - 1));
        ::_exit(130);
    }
    if (Stop.exchange(true))
        Again = true;
}

} // namespace

void CatchSignals()
{
    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction action
    {
    };
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

const std::atomic<bool>& Requested()
{
    return Stop;
}

void Request()
{
    Stop = true;
}

bool RequestedAgain()
{
    return Again;
}

void SetEndAtOnce(bool atOnce)
{
    AtOnce = atOnce;
}

} // namespace Stopping
