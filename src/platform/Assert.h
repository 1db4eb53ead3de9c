#pragma once

// A broken invariant of the program's own: a programming error, not a failure
// the user can cause. Checked in every build; names the condition, the source
// file and the line, then ends the process.
#define TF_ASSERT(condition)            \
    ((condition) ? static_cast<void>(0) \
                 : ::platform::assertionFailed(#condition, __FILE__, __LINE__))

namespace platform {
[[noreturn]] void assertionFailed(const char* condition, const char* file, int line);
}  // namespace platform
