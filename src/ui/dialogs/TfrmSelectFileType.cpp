#include "ui/dialogs/TfrmSelectFileType.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialogs/DialogSupport.h"

TfrmSelectFileType::TfrmSelectFileType(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmSelectFileType"));
    setWindowTitle(tr("Select file type(s)"));

    auto* label = new QLabel(tr("Please select file type(s) you want to exclude"), this);
    clbFileTypes = new QListWidget(this);
    clbFileTypes->setObjectName(QStringLiteral("clbFileTypes"));
    const QFontMetrics metrics(font());
    clbFileTypes->setMinimumSize(metrics.averageCharWidth() * 36, metrics.lineSpacing() * 14);
    btnOK = new QPushButton(tr("&OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(tr("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(clbFileTypes);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(btnOK, &QPushButton::clicked, this, &TfrmSelectFileType::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmSelectFileType::btnCancelClick);
    FormCreate();
}

void TfrmSelectFileType::FormCreate() {
    adjustSize();
    dialogs::placeWindowAtMouse(this);
}

void TfrmSelectFileType::AddTypes(const QStringList& types) {
    for (const QString& type : types) {
        auto* row = new QListWidgetItem(type, clbFileTypes);
        row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        row->setCheckState(Qt::Unchecked);
    }
}

void TfrmSelectFileType::CheckTypes(const QStringList& types) {
    for (int i = 0; i < clbFileTypes->count(); ++i) {
        QListWidgetItem* row = clbFileTypes->item(i);
        row->setCheckState(types.contains(row->text(), Qt::CaseSensitive) ? Qt::Checked
                                                                          : Qt::Unchecked);
    }
}

QString TfrmSelectFileType::GetSelectedTypes() const {
    QString text;
    for (int i = 0; i < clbFileTypes->count(); ++i) {
        const QListWidgetItem* row = clbFileTypes->item(i);
        if (row->checkState() == Qt::Checked) {
            text += row->text() + QLatin1Char(';');
        }
    }
    return text;
}

void TfrmSelectFileType::btnOKClick() {
    accept();
}

void TfrmSelectFileType::btnCancelClick() {
    reject();
}
