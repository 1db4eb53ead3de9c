#pragma once

#include <QDialog>

// Where to send a suggestion: the address in a field the user can copy
// from, a button that copies it and one that hands a new mail to the
// desktop's mail program. Whether a mail program opened cannot be told,
// so the address always shows.
class TfrmSuggestion : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSuggestion(QWidget* parent = nullptr);
};
