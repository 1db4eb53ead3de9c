#pragma once

#include <atomic>
#include <cerrno>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/posix/Sys.h"

// Faults put into single entries of the engine's table of system calls, for
// as long as a guard lives:
//
//   auto full = SysFault::on<&Sys::pwrite>(Fault::fail(ENOSPC).nth(3).only("/mirror/"));
//   ... run ...
//   EXPECT_EQ(full.hits(), 1);
//
// A guard changes the calls it matches and passes every other call on to the
// entry it replaced, which it puts back when destroyed. One guard per entry
// at a time. Calls may come from any thread (the run's worker): the counters
// are atomic. Install and remove guards while no run is going on.
namespace testsupport {

using platform::detail::Sys;

// What happens to the matching calls of one entry.
class Fault {
public:
    // The call fails: -1 with errno set to `error`, nothing done.
    static Fault fail(int error);
    // The call answers `value` without doing anything (0 from a write: nothing
    // taken; 0 from copy_file_range: the source seems to end).
    static Fault answer(long value);
    // The call goes through; only counted (and `then` run).
    static Fault pass();

    // Only the nth matching call (counted from 1); by default every one.
    Fault& nth(int n);
    // Every matching call from the nth on.
    Fault& from(int n);
    // Only calls where a path involved contains `text`. The paths are those
    // of the call's names, joined to their folder's path where given as
    // relative to a descriptor, or the path of its descriptor when it names
    // nothing.
    Fault& only(std::string text);
    // Only calls whose paths (as above) `match` accepts.
    Fault& when(std::function<bool(const std::vector<std::string>& paths)> match);
    // Runs `action` on the calls changed, before they answer.
    Fault& then(std::function<void()> action);

private:
    friend class SysFault;
    enum class Kind { Fail, Answer, Pass };

    Kind m_kind = Kind::Pass;
    long m_value = 0;  // errno for Fail
    int m_first = 1;
    bool m_onlyFirst = false;
    std::function<bool(const std::vector<std::string>&)> m_match;
    std::function<void()> m_action;
};

class SysFault {
public:
    // Puts `fault` on the entry `Entry` of the table (e.g. &Sys::renameat).
    template <auto Entry>
    [[nodiscard]] static SysFault on(Fault fault);

    SysFault(SysFault&& other) noexcept;
    SysFault& operator=(SysFault&&) = delete;
    SysFault(const SysFault&) = delete;
    SysFault& operator=(const SysFault&) = delete;
    ~SysFault();

    // Calls that matched (`only`, `when`) so far, changed or not.
    int seen() const;
    // Calls changed so far.
    int hits() const;

    // One installed fault: what to do and what happened.
    struct State {
        explicit State(Fault each) : fault(std::move(each)) {}
        enum class Outcome { Pass, Fail, Answer };
        // Counts a call and tells what to do with it; `paths` is asked only
        // when the fault looks at paths.
        Outcome decide(const std::function<std::vector<std::string>()>& paths);
        // The errno of a failure, or the answer given.
        long value() const { return fault.m_value; }

        Fault fault;
        std::atomic<int> seen{0};
        std::atomic<int> hits{0};
    };

private:
    SysFault(std::unique_ptr<State> state, void (*restore)())
        : m_state(std::move(state)), m_restore(restore) {}

    std::unique_ptr<State> m_state;
    void (*m_restore)() = nullptr;
};

namespace sysfault_detail {

// One argument of a call, as far as paths go.
struct Token {
    enum class Kind { Number, Name, Other } kind = Kind::Other;
    int number = 0;
    const char* name = nullptr;
};
inline Token token(int value) {
    return {Token::Kind::Number, value, nullptr};
}
inline Token token(const char* value) {
    return {Token::Kind::Name, 0, value};
}
template <typename T>
Token token(const T&) {
    return {};
}

// The paths a call with these arguments involves (see Fault::only).
std::vector<std::string> pathsOf(const std::vector<Token>& tokens);

template <auto Entry,
          typename Pointer = std::remove_reference_t<decltype(std::declval<Sys&>().*Entry)>>
struct Slot;

template <auto Entry, typename R, typename... Args>
struct Slot<Entry, R (*)(Args...)> {
    static inline std::atomic<SysFault::State*> state{nullptr};
    static inline R (*original)(Args...) = nullptr;

    static R call(Args... args) {
        if (SysFault::State* s = state.load()) {
            using Outcome = SysFault::State::Outcome;
            const Outcome outcome =
                s->decide([&] { return pathsOf(std::vector<Token>{token(args)...}); });
            if (outcome == Outcome::Fail) {
                errno = static_cast<int>(s->value());
                return static_cast<R>(-1);
            }
            if (outcome == Outcome::Answer) {
                return static_cast<R>(s->value());
            }
        }
        return original(args...);
    }

    static void install(SysFault::State* s) {
        SysFault::State* none = nullptr;
        if (!state.compare_exchange_strong(none, s)) {
            throw std::logic_error("a fault is on this system call already");
        }
        original = platform::detail::sys().*Entry;
        platform::detail::sys().*Entry = &call;
    }

    static void restore() {
        platform::detail::sys().*Entry = original;
        state.store(nullptr);
    }
};

}  // namespace sysfault_detail

template <auto Entry>
SysFault SysFault::on(Fault fault) {
    using Slot = sysfault_detail::Slot<Entry>;
    auto state = std::make_unique<State>(std::move(fault));
    Slot::install(state.get());
    return SysFault(std::move(state), &Slot::restore);
}

}  // namespace testsupport
