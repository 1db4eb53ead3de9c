#include "ui/dialogs/TfrmSelectFileType.h"

#include <QListWidget>
#include <QPushButton>

#include "ui/dialogs/DialogSupport.h"

TfrmSelectFileType::TfrmSelectFileType(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmSelectFileType"));
    setWindowTitle(tr("Select file type(s)"));

    const QString prompt = tr("Please select file type(s) you want to exclude");
    clbFileTypes = new QListWidget(this);
    clbFileTypes->setObjectName(QStringLiteral("clbFileTypes"));
    const auto buttons = dialogs::layOutPicker(this, prompt, clbFileTypes, 14);
    btnOK = buttons.ok;
    btnCancel = buttons.cancel;

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
        row->setCheckState(types.contains(row->text(), Qt::CaseInsensitive) ? Qt::Checked
                                                                            : Qt::Unchecked);
    }
}

QString TfrmSelectFileType::GetSelectedTypes() const {
    return dialogs::checkedRowsText(clbFileTypes);
}

void TfrmSelectFileType::btnOKClick() {
    accept();
}

void TfrmSelectFileType::btnCancelClick() {
    reject();
}
