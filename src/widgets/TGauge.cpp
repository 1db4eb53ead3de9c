#include "widgets/TGauge.h"

#include <QPainter>
#include <QPalette>
#include <algorithm>
#include <cstdint>

TGauge::TGauge(QWidget* parent)
    : QWidget(parent), m_fore(Qt::blue), m_back(palette().color(QPalette::Button)) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

int TGauge::percentDone(int minimum, int maximum, int position) {
    if (maximum == minimum) {
        return 0;
    }
    // 64-bit, so that large counts times 100 cannot overflow.
    const std::int64_t done = static_cast<std::int64_t>(position) - minimum;
    const std::int64_t span = static_cast<std::int64_t>(maximum) - minimum;
    return static_cast<int>(done * 100 / span);
}

void TGauge::setMinValue(int value) {
    m_min = value;
    m_max = std::max(m_max, m_min);
    m_progress = std::clamp(m_progress, m_min, m_max);
    update();
}

void TGauge::setMaxValue(int value) {
    m_max = value;
    m_min = std::min(m_min, m_max);
    m_progress = std::clamp(m_progress, m_min, m_max);
    update();
}

void TGauge::setProgress(int value) {
    const int clamped = std::clamp(value, m_min, m_max);
    if (clamped != m_progress) {
        m_progress = clamped;
        update();
    }
}

void TGauge::setForeColor(const QColor& color) {
    m_fore = color;
    update();
}

QString TGauge::text() const {
    return QString::number(percentDone()) + QLatin1Char('%');
}

QSize TGauge::sizeHint() const {
    return {150, fontMetrics().height() + 4};
}

QSize TGauge::minimumSizeHint() const {
    return {fontMetrics().horizontalAdvance(QStringLiteral("100%")) + 8,
            fontMetrics().height() + 2};
}

void TGauge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = rect();
    painter.fillRect(area, m_back);
    const int span = m_max - m_min;
    const int filled = span > 0 ? static_cast<int>(static_cast<std::int64_t>(area.width()) *
                                                   (m_progress - m_min) / span)
                                : 0;
    const QRect bar(area.left(), area.top(), filled, area.height());
    painter.fillRect(bar, m_fore);

    // The text in the fore colour over the empty part and in the back colour
    // over the bar, so it reads wherever the bar ends.
    const QString label = text();
    painter.setPen(m_fore);
    painter.setClipRect(area.adjusted(filled, 0, 0, 0));
    painter.drawText(area, Qt::AlignCenter, label);
    painter.setPen(m_back);
    painter.setClipRect(bar);
    painter.drawText(area, Qt::AlignCenter, label);
}
