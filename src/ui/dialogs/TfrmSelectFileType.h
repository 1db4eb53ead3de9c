#pragma once

#include <QDialog>
#include <QStringList>

class QListWidget;
class QPushButton;

// Lists file types found in a task's main folders and lets the user tick the
// ones to exclude. Touches no model object: the caller reads the ticked types
// after OK.
class TfrmSelectFileType : public QDialog {
    Q_OBJECT
public:
    // Opens with its lower right corner at the mouse.
    explicit TfrmSelectFileType(QWidget* parent = nullptr);

    // Appends one unticked row per type, in the given order.
    void AddTypes(const QStringList& types);
    // Ticks exactly the rows whose text is in `types`, letter case ignored as
    // the type filter ignores it.
    void CheckTypes(const QStringList& types);
    // The ticked types in row order, each followed by ";".
    QString GetSelectedTypes() const;

private:
    void FormCreate();
    void btnOKClick();
    void btnCancelClick();

    QListWidget* clbFileTypes;
    QPushButton* btnOK;
    QPushButton* btnCancel;
};
