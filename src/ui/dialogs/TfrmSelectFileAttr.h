#pragma once

#include <QDialog>
#include <cstdint>

class QListWidget;
class QPushButton;

// Lists the six file attributes of the exclusion filter and lets the user
// tick those whose files are to be excluded. Touches no model object.
class TfrmSelectFileAttr : public QDialog {
    Q_OBJECT
public:
    // Opens with its lower right corner at the mouse.
    explicit TfrmSelectFileAttr(QWidget* parent = nullptr);

    // Ticks the row of every listed attribute bit set in `mask`; other bits
    // are ignored.
    void SetAttributes(std::uint32_t mask);
    // The names of the ticked rows in row order, each followed by ";".
    QString GetAttributesText() const;

private:
    void FormCreate();
    void btnOKClick();
    void btnCancelClick();

    QListWidget* clbFileTypes;
    QPushButton* btnOK;
    QPushButton* btnCancel;
};
