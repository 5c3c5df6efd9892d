// The one place where findings (warnings/findings.hpp) become sentences: each function gives
// the text of one warning, or of a refusal, without the "program: aviso: " that
// text/messages.hpp puts before it. The tolerance is written from its value.
#pragma once

#include "warnings/findings.hpp"

#include <string>
#include <vector>

namespace osc {

// The step findings in the order they are said: backward in time, time overflow, each mode,
// numbers overflow.
std::vector<std::string> sentences(const StepFindings &found);

std::string sentence(const RepeatFinding &found);
std::string sentence(const DrivenFinding &found);
std::string sentence(const SamplingFinding &found);
std::string sentence(const OneRowFinding &found);

// The indented lines that follow the refusal of an N that N and h swapped would explain; N and
// h read `in_order` as x0 v0 N h, or given by name.
std::string follow_up(const SwapFinding &found, bool in_order);

// Why the rows of `file` cannot be written, or what may happen when they are.
std::string sentence(const char *file, const DiskFinding &found);

} // namespace osc
