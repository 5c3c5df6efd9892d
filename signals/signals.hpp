// The signals that end a run from outside (SIGINT, SIGTERM, SIGHUP), each handled by a chain:
// the handler put in place last does its part (removes a hidden file, ends a child), hands on
// to the one that was there before it, and then this process ends by the same signal.
#pragma once

#include <csignal>

namespace osc {

using SignalHandler = void (*)(int);

// The handler that was in place before, for each signal.
using EarlierHandlers = SignalHandler[NSIG];

// Puts `handler` in place for SIGINT, SIGTERM and SIGHUP, keeping in `earlier` the handler
// each had, unless that was `handler` itself.
void chain_on_ending_signals(SignalHandler handler, EarlierHandlers &earlier);

// For a handler once it has done its part: calls the handler kept in `earlier` for `signal`,
// if that is a function, then raises `signal` again with its default action. Only
// async-signal-safe calls.
void hand_on(int signal, const EarlierHandlers &earlier);

} // namespace osc
