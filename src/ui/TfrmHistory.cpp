#include "ui/TfrmHistory.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/RunStatusText.h"
#include "widgets/LogViewer.h"

TfrmHistory::TfrmHistory(const QString& taskName, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(tr("History of \"%1\"").arg(taskName));
    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lstRuns = new QTreeWidget(this);
    lstRuns->setObjectName(QStringLiteral("lstRuns"));
    lstRuns->setRootIsDecorated(false);
    lstRuns->setUniformRowHeights(true);
    lstRuns->setHeaderLabels({tr("Started"), tr("Kind"), tr("Started by"), tr("Outcome"),
                              tr("Done"), tr("Failed"), tr("Skipped"), tr("First reason")});
    lstRuns->header()->setStretchLastSection(true);
    txtProblems = new QPlainTextEdit(this);
    txtProblems->setObjectName(QStringLiteral("txtProblems"));
    txtProblems->setReadOnly(true);
    txtProblems->setMaximumBlockCount(RunResult::kMaxProblems + 2);
    btnOpenLog = new QPushButton(tr("Open task &log"), this);
    btnOpenLog->setObjectName(QStringLiteral("btnOpenLog"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(btnOpenLog, QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(btnOpenLog, &QPushButton::clicked, this, &TfrmHistory::btnOpenLogClick);
    connect(lstRuns, &QTreeWidget::currentItemChanged, this, &TfrmHistory::showSelected);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblSummary);
    layout->addWidget(lstRuns, 3);
    layout->addWidget(txtProblems, 1);
    layout->addWidget(buttons);
    resize(820, 460);
}

void TfrmHistory::setRuns(std::vector<RunResult> runs, const QString& logFile) {
    m_runs = std::move(runs);
    m_taskLog = logFile;
    lstRuns->clear();
    const QIcon warning = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    QList<QTreeWidgetItem*> items;
    for (const RunResult& run : m_runs) {
        auto* item = new QTreeWidgetItem(
            {runstatus::startText(run), run.simulate ? tr("simulation") : tr("run"),
             runstatus::originText(run.origin), runstatus::outcomeText(run),
             QString::number(run.done), QString::number(run.failed), QString::number(run.skipped),
             runstatus::firstProblemText(run)});
        if (!run.succeeded()) {
            item->setIcon(3, warning);
        }
        items.push_back(item);
    }
    lstRuns->addTopLevelItems(items);
    lblSummary->setText(
        m_runs.empty() ? tr("This task has not run yet.")
                       : tr("%n run(s), newest first.", nullptr, static_cast<int>(m_runs.size())));
    if (!items.isEmpty()) {
        lstRuns->setCurrentItem(items.front());
    }
    showSelected();
}

QString TfrmHistory::logFileToOpen() const {
    const int row = lstRuns->currentItem() != nullptr
                        ? lstRuns->indexOfTopLevelItem(lstRuns->currentItem())
                        : -1;
    QString log = m_taskLog;
    if (row >= 0 && !m_runs[static_cast<std::size_t>(row)].logFile.empty()) {
        log = QFile::decodeName(
            QByteArray::fromStdString(m_runs[static_cast<std::size_t>(row)].logFile));
    }
    return !log.isEmpty() && QFileInfo(log).isFile() ? log : QString();
}

void TfrmHistory::showSelected() {
    const int row = lstRuns->currentItem() != nullptr
                        ? lstRuns->indexOfTopLevelItem(lstRuns->currentItem())
                        : -1;
    btnOpenLog->setEnabled(!logFileToOpen().isEmpty());
    if (row < 0) {
        txtProblems->clear();
        return;
    }
    const RunResult& run = m_runs[static_cast<std::size_t>(row)];
    QString text = runstatus::countsText(run);
    if (run.aborted) {
        text += QLatin1Char('\n') + tr("The run was stopped before it ended.");
    }
    if (run.heldDeletions > 0) {
        text += QLatin1Char('\n') +
                tr("%1 deletion(s) were held back: the run would have deleted most of a "
                   "mirror folder.")
                    .arg(run.heldDeletions);
    }
    for (const RunProblem& problem : run.problems) {
        RunResult one;
        one.problems = {problem};
        text += QLatin1Char('\n') + (problem.failed ? tr("[Error]") : tr("[Skip]")) +
                QLatin1Char(' ') + runstatus::firstProblemText(one);
    }
    txtProblems->setPlainText(text);
}

void TfrmHistory::btnOpenLogClick() {
    const QString log = logFileToOpen();
    if (!log.isEmpty()) {
        LogViewer::open(this, log);
    }
}
