#pragma once

#include <QDialog>
#include <cstdint>

class QListWidget;
class QPushButton;

// Lists the file attributes of the exclusion filter that files here can
// carry, and lets the user tick those whose files are to be excluded. An
// attribute that cannot match is listed only when the task holds it already.
// Touches no model object.
class TfrmSelectFileAttr : public QDialog {
    Q_OBJECT
public:
    // Opens with its lower right corner at the mouse.
    explicit TfrmSelectFileAttr(QWidget* parent = nullptr);

    // Ticks the row of every attribute bit set in `mask` (listing it when it
    // was left out); other bits are ignored.
    void SetAttributes(std::uint32_t mask);
    // The names of the ticked rows in row order, each followed by ";".
    QString GetAttributesText() const;

    // Whether a file on this platform can carry the attribute.
    static bool canMatch(std::uint32_t bit);

private:
    void FormCreate();
    void fillRows(std::uint32_t mask);
    void btnOKClick();
    void btnCancelClick();

    QListWidget* clbFileTypes;
    QPushButton* btnOK;
    QPushButton* btnCancel;
};
