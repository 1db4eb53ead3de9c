#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <map>

class QWidget;

// Maps controls of one window to tip texts, and tells the tip of the control
// under the mouse.
class ControlTip {
public:
    // The window whose controls carry the tips.
    void SetHandle(QWidget* owner) { m_owner = owner; }
    // Stores the tip of a control; a second call for the same control
    // replaces the text.
    void AddTip(const QWidget* control, const QString& text) { m_tips[control] = text; }
    // True, with the tip in `text`, when the mouse at `globalPos` (screen
    // coordinates) is inside the owner window and over a control that has a
    // tip, or over a part of one (the viewport of a list, the edit of a spin
    // box). `text` is left alone otherwise.
    bool GetTip(QPoint globalPos, QString& text);

private:
    QWidget* m_owner = nullptr;
    QRect m_ownerRect;
    std::map<const QWidget*, QString> m_tips;
};
