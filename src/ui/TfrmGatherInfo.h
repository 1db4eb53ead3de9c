#pragma once

#include <QWidget>

class QLabel;

// The small "please wait" window shown, modal, while a run's plan is being
// built: no caption, a thin frame, one line of text, centred on its owner.
class TfrmGatherInfo : public QWidget {
    Q_OBJECT
public:
    explicit TfrmGatherInfo(QWidget* owner);

    void setText(const QString& text);
    QString text() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* lblWaitMsg;
};
