#include "ui/dialogs/ControlTip.h"

#include <QApplication>
#include <QWidget>

bool ControlTip::GetTip(QPoint globalPos, QString& text) {
    if (m_owner == nullptr) {
        return false;
    }
    m_ownerRect = m_owner->isWindow() ? m_owner->frameGeometry()
                                      : QRect(m_owner->mapToGlobal(QPoint(0, 0)), m_owner->size());
    if (!m_ownerRect.contains(globalPos)) {
        return false;
    }
    // Qt's composite controls put child widgets under the mouse; the tip
    // belongs to the control that holds them.
    for (const QWidget* widget = QApplication::widgetAt(globalPos); widget != nullptr;
         widget = widget->parentWidget()) {
        const auto found = m_tips.find(widget);
        if (found != m_tips.end()) {
            text = found->second;
            return true;
        }
        if (widget == m_owner || widget->isWindow()) {
            break;
        }
    }
    return false;
}
