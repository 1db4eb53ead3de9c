#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <cstdlib>

#include "support/TempTree.h"
#include "ui/InstanceChannel.h"
#include "ui/SingleInstance.h"

using namespace Qt::StringLiterals;

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

    // Two copies with different runtime folders used to lock different files
    // and both run on one configuration.
    void lockLivesBesideTheConfigurationWhateverTheRuntimeFolder() {
        testsupport::TempDir dir;
        const std::string config = dir / "config/twinfold/";
        std::string paths[2];
        for (int i = 0; i < 2; ++i) {
            const std::string runtime = dir / ("runtime" + std::to_string(i));
            testsupport::makeDirs(runtime);
            qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime));
            paths[i] = SingleInstance::lockPath(config);
        }
        qunsetenv("XDG_RUNTIME_DIR");
        QCOMPARE(paths[0], config + "ONLY_ONE_TWINFOLD.lock");
        QCOMPARE(paths[1], paths[0]);
        QVERIFY(testsupport::pathExists(config));  // made, so the lock can be taken
        SingleInstance first;
        QCOMPARE(first.acquire(paths[0]), SingleInstance::Result::Acquired);
        SingleInstance second;
        QCOMPARE(second.acquire(paths[1]), SingleInstance::Result::AlreadyRunning);
    }

    void channelNameStaysInTheConfigurationFolderWhenItFits() {
        QCOMPARE(InstanceChannel::serverName("/home/u/.config/twinfold/"),
                 u"/home/u/.config/twinfold/twinfold.socket"_s);
        const std::string deep = "/" + std::string(120, 'd') + "/";
        const QString name = InstanceChannel::serverName(deep);
        QVERIFY(!name.contains(u'/'));
        QVERIFY(name != InstanceChannel::serverName(deep + "other/"));
    }

    // The real program started a second time: it reaches the copy holding
    // the configuration's lock (this test), asks it to show, and ends with 0.
    void secondStartAsksTheFirstToShow() {
        testsupport::TempDir dir;
        const std::string config = dir / "twinfold/";
        SingleInstance held;
        QCOMPARE(held.acquire(SingleInstance::lockPath(config)), SingleInstance::Result::Acquired);
        InstanceChannel channel;
        QVERIFY(channel.listen(InstanceChannel::serverName(config)));
        QSignalSpy shown(&channel, &InstanceChannel::showRequested);

        QProcess second;
        second.setProcessEnvironment(programEnvironment(dir.path()));
        second.start(QStringLiteral(TWINFOLD_PROGRAM), {});
        QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 15000);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(shown.count(), 1);
    }

    // --help and --version answer without a window (the display named here
    // does not exist) and without taking the lock.
    void informationOptionsNeitherOpenAWindowNorLock() {
        const struct {
            const char* option;
            QByteArray expected;
        } rows[] = {{"--help", "Usage: twinfold"}, {"--version", "twinfold " TWINFOLD_VERSION}};
        for (const auto& row : rows) {
            testsupport::TempDir dir;
            QProcess program;
            QProcessEnvironment env = programEnvironment(dir.path());
            env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
            env.insert(u"DISPLAY"_s, u":987"_s);
            program.setProcessEnvironment(env);
            program.start(QStringLiteral(TWINFOLD_PROGRAM), {QString::fromLatin1(row.option)});
            QVERIFY(program.waitForFinished(15000));
            QCOMPARE(program.exitCode(), 0);
            QVERIFY2(program.readAllStandardOutput().startsWith(row.expected), row.option);
            QVERIFY(!testsupport::pathExists(dir / "twinfold/ONLY_ONE_TWINFOLD.lock"));
        }
    }

private:
    static QProcessEnvironment programEnvironment(const std::string& configHome) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_CONFIG_HOME"_s, QString::fromStdString(configHome));
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        return env;
    }
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
