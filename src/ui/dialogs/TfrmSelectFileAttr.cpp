#include "ui/dialogs/TfrmSelectFileAttr.h"

#include <QListWidget>
#include <QPushButton>

#include "model/FileExclude.h"
#include "platform/FindRecord.h"
#include "ui/dialogs/DialogSupport.h"

TfrmSelectFileAttr::TfrmSelectFileAttr(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmSelectFileAttr"));
    setWindowTitle(tr("Select file attribute(s) "));

    const QString prompt = tr("Please select file attributes(s) you want to exclude");
    clbFileTypes = new QListWidget(this);
    clbFileTypes->setObjectName(QStringLiteral("clbFileTypes"));
    fillRows(0);
    const auto buttons = dialogs::layOutPicker(this, prompt, clbFileTypes, 8);
    btnOK = buttons.ok;
    btnCancel = buttons.cancel;

    connect(btnOK, &QPushButton::clicked, this, &TfrmSelectFileAttr::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmSelectFileAttr::btnCancelClick);
    FormCreate();
}

void TfrmSelectFileAttr::FormCreate() {
    adjustSize();
    dialogs::placeWindowAtMouse(this);
}

bool TfrmSelectFileAttr::canMatch(std::uint32_t bit) {
    // No file here carries these two; the others are read from the file
    // system (hidden from the name, read-only from the permissions,
    // encrypted and compressed from the file's flags).
    return bit != platform::kAttrSystem && bit != platform::kAttrTemporary;
}

void TfrmSelectFileAttr::fillRows(std::uint32_t mask) {
    // The filter's attribute names, in the order of its text form: those
    // that can match, and those the task holds already, so that OK keeps
    // them.
    clbFileTypes->clear();
    for (const FileExclude::AttrName& attr : FileExclude::attrNames()) {
        const bool held = (mask & attr.bit) != 0;
        if (!held && !canMatch(attr.bit)) {
            continue;
        }
        auto* row = new QListWidgetItem(dialogs::toQString(attr.name), clbFileTypes);
        row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        row->setCheckState(held ? Qt::Checked : Qt::Unchecked);
    }
}

void TfrmSelectFileAttr::SetAttributes(std::uint32_t mask) {
    fillRows(mask);
}

QString TfrmSelectFileAttr::GetAttributesText() const {
    return dialogs::checkedRowsText(clbFileTypes);
}

void TfrmSelectFileAttr::btnOKClick() {
    accept();
}

void TfrmSelectFileAttr::btnCancelClick() {
    reject();
}
