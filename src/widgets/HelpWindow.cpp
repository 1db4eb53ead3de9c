#include "widgets/HelpWindow.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmHelp"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Twinfold help"));

    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("txtHelp"));
    m_browser->setOpenExternalLinks(true);
    m_back = new QPushButton(tr("< &Back"), this);
    m_back->setObjectName(QStringLiteral("btnBack"));
    m_forward = new QPushButton(tr("&Forward >"), this);
    m_forward->setObjectName(QStringLiteral("btnForward"));
    auto* contents = new QPushButton(tr("&Contents"), this);
    contents->setObjectName(QStringLiteral("btnContents"));
    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName(QStringLiteral("btnClose"));
    m_back->setEnabled(false);
    m_forward->setEnabled(false);

    connect(m_back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QPushButton::clicked, m_browser, &QTextBrowser::forward);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QWidget::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QWidget::setEnabled);
    connect(contents, &QPushButton::clicked, this, [this] {
        m_browser->setSource(
            QUrl::fromLocalFile(QFileInfo(m_home).dir().filePath(QStringLiteral("index.html"))));
    });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(m_browser, &QTextBrowser::sourceChanged, this,
            [this] { setWindowTitle(m_browser->documentTitle()); });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_back);
    buttons->addWidget(m_forward);
    buttons->addWidget(contents);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_browser, 1);
    layout->addLayout(buttons);
    resize(640, 520);
}

HelpWindow* HelpWindow::open(QWidget* owner, const QString& page) {
    QWidget* parent = owner != nullptr ? owner->window() : nullptr;
    HelpWindow* window = nullptr;
    if (parent != nullptr) {
        window = parent->findChild<HelpWindow*>(QString(), Qt::FindDirectChildrenOnly);
    }
    if (window == nullptr) {
        window = new HelpWindow(parent);
    }
    window->m_home = page;
    window->m_browser->setSource(QUrl::fromLocalFile(page));
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}
