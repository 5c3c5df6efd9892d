#include "signals/signals.hpp"

#include <initializer_list>

namespace osc {

void chain_on_ending_signals(SignalHandler handler, EarlierHandlers &earlier)
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const SignalHandler before = std::signal(signal, handler);
        if (before != handler) earlier[signal] = before;
    }
}

void hand_on(int signal, const EarlierHandlers &earlier)
{
    const SignalHandler before = earlier[signal];
    if (before != nullptr && before != SIG_DFL && before != SIG_IGN && before != SIG_ERR) before(signal);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace osc
