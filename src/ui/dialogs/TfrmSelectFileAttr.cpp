#include "ui/dialogs/TfrmSelectFileAttr.h"

#include <QListWidget>
#include <QPushButton>

#include "model/FileExclude.h"
#include "ui/dialogs/DialogSupport.h"

TfrmSelectFileAttr::TfrmSelectFileAttr(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmSelectFileAttr"));
    setWindowTitle(tr("Select file attribute(s) "));

    const QString prompt = tr("Please select file attributes(s) you want to exclude");
    // The rows are the filter's attribute names, in the order of its text form.
    clbFileTypes = new QListWidget(this);
    clbFileTypes->setObjectName(QStringLiteral("clbFileTypes"));
    for (const FileExclude::AttrName& attr : FileExclude::attrNames()) {
        auto* row = new QListWidgetItem(dialogs::toQString(attr.name), clbFileTypes);
        row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        row->setCheckState(Qt::Unchecked);
    }
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

void TfrmSelectFileAttr::SetAttributes(std::uint32_t mask) {
    const auto& attrs = FileExclude::attrNames();
    for (std::size_t i = 0; i < attrs.size(); ++i) {
        clbFileTypes->item(static_cast<int>(i))
            ->setCheckState((mask & attrs[i].bit) != 0 ? Qt::Checked : Qt::Unchecked);
    }
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
