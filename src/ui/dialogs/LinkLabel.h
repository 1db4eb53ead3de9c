#pragma once

#include <QLabel>

// A text that acts as a link: underlined, with a hand cursor, reporting a
// click of the left mouse button.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};
