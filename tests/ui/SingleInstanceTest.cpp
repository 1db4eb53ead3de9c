#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTest>
#include <cstdlib>

#include "support/TempTree.h"
#include "ui/SingleInstance.h"

class SingleInstanceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void secondCopyIsTurnedAwayUntilTheFirstEnds() {
        testsupport::TempDir dir;
        const std::string lock = dir / "ONLY_ONE_TWINFOLD.lock";
        {
            SingleInstance first;
            QCOMPARE(first.acquire(lock), SingleInstance::Result::Acquired);
            SingleInstance second;
            QCOMPARE(second.acquire(lock), SingleInstance::Result::AlreadyRunning);
        }
        SingleInstance later;
        QCOMPARE(later.acquire(lock), SingleInstance::Result::Acquired);
    }

    // A copy that is killed leaves no lock behind.
    void aKilledCopyDoesNotBlockTheNext() {
        testsupport::TempDir dir;
        const std::string lock = dir / "ONLY_ONE_TWINFOLD.lock";
        int ready[2];
        QVERIFY(::pipe(ready) == 0);
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            SingleInstance held;
            const char answer = held.acquire(lock) == SingleInstance::Result::Acquired ? 'y' : 'n';
            [[maybe_unused]] const ssize_t written = ::write(ready[1], &answer, 1);
            ::pause();
            std::_Exit(0);
        }
        char answer = 0;
        QCOMPARE(::read(ready[0], &answer, 1), ssize_t(1));
        QCOMPARE(answer, 'y');
        SingleInstance blocked;
        QCOMPARE(blocked.acquire(lock), SingleInstance::Result::AlreadyRunning);

        ::kill(child, SIGKILL);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        ::close(ready[0]);
        ::close(ready[1]);
        SingleInstance next;
        QCOMPARE(next.acquire(lock), SingleInstance::Result::Acquired);
    }

    void lockLivesInTheRuntimeFolderOrElseTheConfigurationFolder() {
        testsupport::TempDir dir;
        const std::string runtime = dir / "runtime";
        testsupport::makeDirs(runtime);
        const std::string config = dir / "config/twinfold/";
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime));
        QCOMPARE(SingleInstance::lockPath(config), runtime + "/ONLY_ONE_TWINFOLD.lock");
        qunsetenv("XDG_RUNTIME_DIR");
        QCOMPARE(SingleInstance::lockPath(config), config + "ONLY_ONE_TWINFOLD.lock");
        QVERIFY(testsupport::pathExists(config));  // made, so the lock can be taken
    }
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
