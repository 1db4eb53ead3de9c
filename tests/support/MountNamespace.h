#pragma once

#include <functional>
#include <string>

namespace testsupport {

// Runs `body` in a child process with a mount namespace of its own, so a test
// can mount tmpfs and bind mounts without root: an ordinary user gets a user
// namespace that maps its own ids to themselves (so it keeps its uid and its
// files' owners), and root only a new mount namespace. Nothing mounted there
// is seen outside or outlives the child.
//
// `body` returns what went wrong, empty when all went well. The result is
// that text, or, when the kernel refuses the namespace, `refused` says why.
struct NamespaceOutcome {
    std::string failure;
    std::string refused;
};
NamespaceOutcome runInMountNamespace(const std::function<std::string()>& body);

// Collects what a body run in the child found wrong.
class Failures {
public:
    void check(bool ok, const std::string& what) {
        if (!ok) {
            m_text += what + "\n";
        }
    }
    const std::string& text() const { return m_text; }

private:
    std::string m_text;
};

}  // namespace testsupport

// In a test body: runs `body` in a mount namespace and expects it to find
// nothing wrong; skips the test, saying why, where the kernel refuses.
#define TF_EXPECT_IN_MOUNT_NAMESPACE(body)                                                 \
    do {                                                                                   \
        const auto tfOutcome = ::testsupport::runInMountNamespace(body);                   \
        if (!tfOutcome.refused.empty()) {                                                  \
            GTEST_SKIP() << "the kernel refuses a mount namespace: " << tfOutcome.refused; \
        }                                                                                  \
        EXPECT_EQ(tfOutcome.failure, "");                                                  \
    } while (0)

namespace testsupport {}  // namespace testsupport
