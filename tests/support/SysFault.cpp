#include "support/SysFault.h"

#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <string>

namespace testsupport {

Fault Fault::fail(int error) {
    Fault fault;
    fault.m_kind = Kind::Fail;
    fault.m_value = error;
    return fault;
}

Fault Fault::answer(long value) {
    Fault fault;
    fault.m_kind = Kind::Answer;
    fault.m_value = value;
    return fault;
}

Fault Fault::pass() {
    return Fault();
}

Fault& Fault::nth(int n) {
    m_first = n;
    m_onlyFirst = true;
    return *this;
}

Fault& Fault::from(int n) {
    m_first = n;
    m_onlyFirst = false;
    return *this;
}

Fault& Fault::only(std::string text) {
    return when([text = std::move(text)](const std::vector<std::string>& paths) {
        for (const std::string& path : paths) {
            if (path.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    });
}

Fault& Fault::when(std::function<bool(const std::vector<std::string>& paths)> match) {
    m_match = std::move(match);
    return *this;
}

Fault& Fault::then(std::function<void()> action) {
    m_action = std::move(action);
    return *this;
}

SysFault::State::Outcome SysFault::State::decide(
    const std::function<std::vector<std::string>()>& paths) {
    if (fault.m_match && !fault.m_match(paths())) {
        return Outcome::Pass;
    }
    const int n = ++seen;
    if (fault.m_onlyFirst ? n != fault.m_first : n < fault.m_first) {
        return Outcome::Pass;
    }
    ++hits;
    if (fault.m_action) {
        fault.m_action();
    }
    switch (fault.m_kind) {
        case Fault::Kind::Fail:
            return Outcome::Fail;
        case Fault::Kind::Answer:
            return Outcome::Answer;
        case Fault::Kind::Pass:
            break;
    }
    return Outcome::Pass;
}

SysFault::SysFault(SysFault&& other) noexcept
    : m_state(std::move(other.m_state)), m_restore(std::exchange(other.m_restore, nullptr)) {}

SysFault::~SysFault() {
    if (m_restore != nullptr) {
        m_restore();
    }
}

int SysFault::seen() const {
    return m_state->seen.load();
}

int SysFault::hits() const {
    return m_state->hits.load();
}

namespace sysfault_detail {

namespace {

// The path of what the descriptor `fd` holds open (through /proc, directly:
// never through the table being tested).
std::string pathOfDescriptor(int fd) {
    char buffer[PATH_MAX];
    if (fd == AT_FDCWD) {
        return ::getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string();
    }
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

std::string joined(int dirFd, const char* name) {
    if (name[0] == '/') {
        return name;
    }
    std::string path = pathOfDescriptor(dirFd);
    if (name[0] != '\0') {
        path += '/';
        path += name;
    }
    return path;
}

}  // namespace

std::vector<std::string> pathsOf(const std::vector<Token>& tokens) {
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].kind != Token::Kind::Name || tokens[i].name == nullptr) {
            continue;
        }
        if (i > 0 && tokens[i - 1].kind == Token::Kind::Number) {
            paths.push_back(joined(tokens[i - 1].number, tokens[i].name));
        } else {
            paths.emplace_back(tokens[i].name);
        }
    }
    if (paths.empty() && !tokens.empty() && tokens[0].kind == Token::Kind::Number) {
        paths.push_back(pathOfDescriptor(tokens[0].number));
    }
    return paths;
}

}  // namespace sysfault_detail

}  // namespace testsupport
