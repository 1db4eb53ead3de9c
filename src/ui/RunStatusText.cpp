#include "ui/RunStatusText.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QListWidgetItem>
#include <QLocale>
#include <QStyle>

namespace runstatus {

namespace {

// The context the texts of this file are translated in.
class RunStatus {
    Q_DECLARE_TR_FUNCTIONS(RunStatus)
};

// The role under which a row keeps whether its task needs attention.
constexpr int kAttentionRole = Qt::UserRole + 1;

}  // namespace

QString outcomeText(const RunResult& run) {
    if (run.aborted) {
        return RunStatus::tr("aborted");
    }
    if (run.failed > 0) {
        return RunStatus::tr("failed %1").arg(run.failed);
    }
    if (run.skipped > 0) {
        return RunStatus::tr("skipped %1").arg(run.skipped);
    }
    return RunStatus::tr("done");
}

QString countsText(const RunResult& run) {
    QString text = RunStatus::tr("%1 done, %2 failed, %3 skipped")
                       .arg(run.done)
                       .arg(run.failed)
                       .arg(run.skipped);
    if (run.simulate) {
        text += QLatin1Char(' ') + RunStatus::tr("(simulation)");
    }
    return text;
}

QString originText(RunOrigin origin) {
    // The history stores the origin's own word; this is its wording on screen.
    switch (origin) {
        case RunOrigin::Button:
            return RunStatus::tr("button");
        case RunOrigin::Tray:
            return RunStatus::tr("tray");
        case RunOrigin::Schedule:
            return RunStatus::tr("schedule");
        case RunOrigin::CommandLine:
            return RunStatus::tr("command line");
    }
    return QString::fromUtf8(runOriginName(origin));
}

QString firstProblemText(const RunResult& run) {
    if (run.problems.empty()) {
        return {};
    }
    const RunProblem& first = run.problems.front();
    const QString reason = QString::fromUtf8(first.reason);
    return first.path.empty() ? reason
                              : QFile::decodeName(QByteArray::fromStdString(first.path)) +
                                    QStringLiteral(": ") + reason;
}

QString startText(const RunResult& run) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(run.start.time_since_epoch()).count();
    return QLocale().toString(QDateTime::fromMSecsSinceEpoch(ms), QLocale::ShortFormat);
}

QString statusLine(const TaskStatus& status) {
    QString line = status.last ? RunStatus::tr("last run %1: %2")
                                     .arg(startText(*status.last), outcomeText(*status.last))
                               : RunStatus::tr("never run");
    if (status.last && status.last->simulate) {
        line += QLatin1Char(' ') + RunStatus::tr("(simulation)");
    }
    if (status.overdue) {
        line += QStringLiteral(" \u2014 ") + RunStatus::tr("overdue");
    } else if (status.lastRealFailed && status.last && status.last->simulate) {
        line += QStringLiteral(" \u2014 ") + RunStatus::tr("last real run failed");
    }
    return line;
}

void decorateTaskItem(QListWidgetItem& item, const QString& taskName, const TaskStatus& status) {
    item.setText(taskName + QLatin1Char('\n') + statusLine(status));
    item.setData(kAttentionRole, status.needsAttention());
    item.setIcon(status.needsAttention()
                     ? QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning)
                     : QIcon());
}

bool itemNeedsAttention(const QListWidgetItem& item) {
    return item.data(kAttentionRole).toBool();
}

}  // namespace runstatus
