#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

// A horizontal progress gauge: a bar in the fore colour on the back colour,
// with the percentage done centred over it. The position is kept between the
// minimum and the maximum.
class TGauge : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int MinValue READ minValue WRITE setMinValue)
    Q_PROPERTY(int MaxValue READ maxValue WRITE setMaxValue)
    Q_PROPERTY(int Progress READ progress WRITE setProgress)

public:
    explicit TGauge(QWidget* parent = nullptr);

    int minValue() const { return m_min; }
    int maxValue() const { return m_max; }
    int progress() const { return m_progress; }
    // A minimum above the maximum moves the maximum up, and the reverse.
    void setMinValue(int value);
    void setMaxValue(int value);
    void setProgress(int value);

    void setForeColor(const QColor& color);
    QColor foreColor() const { return m_fore; }
    QColor backColor() const { return m_back; }

    // The whole part of (position - minimum) * 100 / (maximum - minimum), 0
    // when the maximum equals the minimum.
    static int percentDone(int minimum, int maximum, int position);
    int percentDone() const { return percentDone(m_min, m_max, m_progress); }
    // The text drawn over the bar: the percentage followed by "%".
    QString text() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_min = 0;
    int m_max = 100;
    int m_progress = 0;
    QColor m_fore;
    QColor m_back;
};
