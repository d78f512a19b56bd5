// How a fuzz target stops on a finding, and what every target asserts of a
// failure the library reports: a cause, in one line.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "paltab/result.hpp"

namespace fuzz_checks {

[[noreturn]] inline void Fail(const char* target, const char* what) {
    std::fprintf(stderr, "%s: %s\n", target, what);
    std::abort();
}

inline void RequireOneLineCause(const char* target, const paltab::Error& error) {
    if (error.cause.empty() || error.Message().find('\n') != std::string::npos) {
        Fail(target, "an error without a one-line cause");
    }
}

}  // namespace fuzz_checks
