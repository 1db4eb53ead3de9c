#include "ui/TfrmGatherInfo.h"

#include <QFrame>
#include <QLabel>
#include <QVBoxLayout>

TfrmGatherInfo::TfrmGatherInfo(QWidget* owner)
    : QWidget(owner, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmGatherInfo"));
    setWindowModality(Qt::ApplicationModal);

    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Raised);
    lblWaitMsg = new QLabel(frame);
    lblWaitMsg->setObjectName(QStringLiteral("lblWaitMsg"));

    auto* inner = new QVBoxLayout(frame);
    inner->setContentsMargins(12, 20, 12, 20);
    inner->addWidget(lblWaitMsg);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);
    setMinimumSize(203, 65);
}

void TfrmGatherInfo::setText(const QString& text) {
    lblWaitMsg->setText(text);
    adjustSize();
}

QString TfrmGatherInfo::text() const {
    return lblWaitMsg->text();
}

void TfrmGatherInfo::showEvent(QShowEvent* event) {
    if (QWidget* owner = parentWidget(); owner != nullptr && owner->isVisible()) {
        QRect area = rect();
        area.moveCenter(owner->frameGeometry().center());
        move(area.topLeft());
    }
    QWidget::showEvent(event);
}
