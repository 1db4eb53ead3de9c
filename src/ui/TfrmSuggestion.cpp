#include "ui/TfrmSuggestion.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QUrlQuery>
#include <QVBoxLayout>

#include "config/Support.h"
#include "widgets/DialogService.h"

namespace {

template <class Widget>
Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace

TfrmSuggestion::TfrmSuggestion(QWidget* parent) : QDialog(parent) {
    const QString address = QString::fromLatin1(
        config::kSupportAddress.data(), static_cast<qsizetype>(config::kSupportAddress.size()));
    setObjectName(QStringLiteral("frmSuggestion"));
    setWindowTitle(tr("Your suggestion"));
    auto* text = new QLabel(tr("Please write your suggestion to this address:"), this);
    auto* field = named(new QLineEdit(address, this), "edtMailAddress");
    field->setReadOnly(true);
    field->selectAll();
    auto* write = named(new QPushButton(tr("&Write mail..."), this), "btnWriteMail");
    auto* copy = named(new QPushButton(tr("&Copy"), this), "btnCopyAddress");
    auto* close = named(new QPushButton(tr("Close"), this), "btnClose");
    close->setDefault(true);
    connect(write, &QPushButton::clicked, this, [address] {
        QUrl mail(QStringLiteral("mailto:") + address);
        QUrlQuery query;
        query.addQueryItem(QStringLiteral("subject"), tr("I have a good idea"));
        mail.setQuery(query);
        DialogService::instance().openUrl(mail);
    });
    connect(copy, &QPushButton::clicked, this,
            [address] { QGuiApplication::clipboard()->setText(address); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(write);
    buttons->addWidget(copy);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(field);
    layout->addLayout(buttons);
}
