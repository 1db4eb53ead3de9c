#include "widgets/LogViewer.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

LogViewer* LogViewer::open(QWidget* owner, const QString& path) {
    auto* viewer = new LogViewer(owner, path);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
    return viewer;
}

LogViewer::LogViewer(QWidget* parent, const QString& path) : QDialog(parent), m_path(path) {
    setWindowTitle(QFileInfo(path).fileName());
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("lblNote"));
    m_note->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_note->setWordWrap(true);
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("txtLog"));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* reload = buttons->addButton(tr("&Reload"), QDialogButtonBox::ActionRole);
    QPushButton* close = buttons->addButton(tr("Close"), QDialogButtonBox::RejectRole);
    connect(reload, &QPushButton::clicked, this, &LogViewer::load);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_note);
    layout->addWidget(m_text, 1);
    layout->addWidget(buttons);
    resize(760, 520);
    load();
}

void LogViewer::load() {
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_note->setText(tr("The log %1 cannot be read: %2").arg(m_path, file.errorString()));
        m_text->clear();
        return;
    }
    const qint64 size = file.size();
    QByteArray bytes;
    if (size > kShownBytes) {
        file.seek(size - kShownBytes);
        bytes = file.read(kShownBytes);
        // Start at a whole line.
        if (const qsizetype newline = bytes.indexOf('\n'); newline >= 0) {
            bytes.remove(0, newline + 1);
        }
        m_note->setText(tr("%1 (the last %2 MiB of %3 MiB)")
                            .arg(m_path)
                            .arg(kShownBytes >> 20)
                            .arg(static_cast<double>(size) / (1 << 20), 0, 'f', 1));
    } else {
        bytes = file.readAll();
        m_note->setText(m_path);
    }
    // Log lines are UTF-8; a path in them that is not shows replacement marks.
    m_text->setPlainText(QString::fromUtf8(bytes));
    m_text->verticalScrollBar()->setValue(m_text->verticalScrollBar()->maximum());
}
