#include "ui/TfrmProgress.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStringList>

#include "widgets/TGauge.h"

namespace {

template <class Widget>
Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace

TfrmProgress::TfrmProgress(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmProgress"));
    setWindowTitle(tr("Current task process"));

    lblTaskName = named(new QLabel(tr("Progress"), this), "lblTaskName");
    QFont titleFont = lblTaskName->font();
    titleFont.setBold(true);
    lblTaskName->setFont(titleFont);
    Bevel1 = named(new QFrame(this), "Bevel1");
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Label1 = named(new QLabel(tr("Change be found after lastest sync:"), this), "Label1");
    lblFileCount = named(new QLabel(countText(0, 0), this), "lblFileCount");
    Label3 = named(new QLabel(tr("Already complete :"), this), "Label3");
    lblFileComplete = named(new QLabel(countText(0, 0), this), "lblFileComplete");
    lblCurrentFile = named(new QLabel(this), "lblCurrentFile");
    // Long paths are shortened to the label's width instead of widening it.
    lblCurrentFile->setMinimumWidth(365);
    lblCurrentFile->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lblCurrentFile->setTextFormat(Qt::PlainText);

    bevTaskRun = named(new QFrame(this), "bevTaskRun");
    bevTaskRun->setFrameShape(QFrame::Panel);
    bevTaskRun->setFrameShadow(QFrame::Sunken);
    prgTaskRun = named(new TGauge(bevTaskRun), "prgTaskRun");
    prgTaskRun->setForeColor(Qt::blue);
    prgTaskRun->setMaxValue(0);
    auto* gaugeLayout = new QHBoxLayout(bevTaskRun);
    gaugeLayout->setContentsMargins(2, 2, 2, 2);
    gaugeLayout->addWidget(prgTaskRun);
    // The frame keeps its room while hidden, so the window does not jump.
    QSizePolicy keep = bevTaskRun->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    bevTaskRun->setSizePolicy(keep);
    bevTaskRun->hide();
    prgTaskRun->hide();

    btnAbortTask = named(new QPushButton(tr("&Stop"), this), "btnAbortTask");
    btnAbortTask->setEnabled(false);
    btnAbortTask->setAutoDefault(false);
    connect(btnAbortTask, &QPushButton::clicked, this, &TfrmProgress::btnAbortTaskClick);

    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(12);
    grid->addWidget(lblTaskName, 0, 0);
    grid->addWidget(Bevel1, 0, 1);
    grid->addWidget(Label1, 1, 0);
    grid->addWidget(lblFileCount, 1, 1);
    grid->addWidget(Label3, 2, 0);
    grid->addWidget(lblFileComplete, 2, 1);
    grid->addWidget(lblCurrentFile, 3, 0, 1, 2);
    grid->addWidget(bevTaskRun, 4, 0, 1, 2);
    grid->addWidget(btnAbortTask, 5, 1, Qt::AlignRight);
    grid->setColumnStretch(1, 1);
    grid->setSizeConstraint(QLayout::SetMinimumSize);
    resize(sizeHint().expandedTo(QSize(374, 174)));
}

void TfrmProgress::observe(const TaskRunBridge* bridge) {
    connect(bridge, &TaskRunBridge::updated, this, &TfrmProgress::handleUpdate);
    connect(bridge, &TaskRunBridge::began, this, &TfrmProgress::handleBegin);
    connect(bridge, &TaskRunBridge::ended, this, &TfrmProgress::handleEnd);
    connect(bridge, &TaskRunBridge::pauseChanged, this, &TfrmProgress::handlePause);
}

QString TfrmProgress::countText(std::int32_t files, std::int32_t directories) {
    return tr("%1 file(s), %2 directory(s)").arg(files).arg(directories);
}

void TfrmProgress::setTaskName(const QString& name) {
    lblTaskName->setText(QLatin1Char(' ') + name + QLatin1Char(' '));
}

QString TfrmProgress::shortenPath(const QString& path, int maxWidth,
                                  const std::function<int(const QString&)>& measure) {
    QString root;
    QString rest = path;
    if (rest.startsWith(QLatin1Char('/'))) {
        root = QStringLiteral("/");
        rest.remove(0, 1);
    }
    QStringList folders = rest.split(QLatin1Char('/'));
    const QString file = folders.takeLast();
    bool dots = false;
    const auto compose = [&] {
        QString text = root;
        if (dots) {
            text += QStringLiteral(".../");
        }
        for (const QString& folder : folders) {
            text += folder + QLatin1Char('/');
        }
        return text + file;
    };
    QString text = compose();
    while (measure(text) > maxWidth) {
        if (!folders.isEmpty()) {
            folders.removeFirst();
            dots = true;
        } else if (!root.isEmpty()) {
            root.clear();
        } else if (dots) {
            dots = false;
        } else {
            break;
        }
        text = compose();
    }
    return text;
}

void TfrmProgress::handleUpdate(const RunProgress& progress) {
    lblFileCount->setText(countText(progress.fileTotal, progress.directoryTotal));
    lblFileComplete->setText(countText(progress.fileDone, progress.directoryDone));
    const QFontMetrics metrics(lblCurrentFile->font());
    const int width = lblCurrentFile->contentsRect().width();
    lblCurrentFile->setText(
        shortenPath(progress.currentPath, width > 0 ? width : 365,
                    [&metrics](const QString& text) { return metrics.horizontalAdvance(text); }));
    prgTaskRun->setMaxValue(progress.totalCount());
    prgTaskRun->setProgress(progress.doneCount());
}

void TfrmProgress::handleBegin() {
    m_outcome.clear();
    lblFileCount->setText(countText(0, 0));
    lblFileComplete->setText(countText(0, 0));
    lblCurrentFile->clear();
    bevTaskRun->show();
    prgTaskRun->show();
    btnAbortTask->setEnabled(true);
    m_paused = false;
}

void TfrmProgress::setOutcome(const QString& text) {
    m_outcome = text;
    lblCurrentFile->setText(text);
}

void TfrmProgress::handleEnd() {
    // The counts stay as the run left them.
    lblCurrentFile->setText(m_outcome);
    bevTaskRun->hide();
    prgTaskRun->hide();
    prgTaskRun->setMaxValue(0);
    prgTaskRun->setProgress(0);
    btnAbortTask->setEnabled(false);
    m_paused = false;
}

void TfrmProgress::handlePause(bool paused) {
    m_paused = paused;
}

void TfrmProgress::btnAbortTaskClick() {
    // While paused, the main window's question about stopping is on screen.
    if (!m_paused) {
        Q_EMIT stopRequested();
    }
}
