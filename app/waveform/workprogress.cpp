#include "app/waveform/workprogress.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QToolButton>
#include <algorithm>
#include <cmath>

namespace tirelle::app {

WorkProgress::WorkProgress(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("WorkProgress"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    label_ = new QLabel(this);
    label_->setObjectName(QStringLiteral("WorkLabel"));
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("WorkBar"));
    bar_->setRange(0, 100);
    bar_->setFixedWidth(120);
    bar_->setMaximumHeight(16);
    cancel_ = new QToolButton(this);
    cancel_->setObjectName(QStringLiteral("WorkCancel"));
    cancel_->setText(QStringLiteral("取消"));
    cancel_->setToolTip(QStringLiteral("停止读取音频和查找镜头"));
    row->addWidget(label_);
    row->addWidget(bar_);
    row->addWidget(cancel_);
    connect(cancel_, &QToolButton::clicked, this, &WorkProgress::cancelRequested);
    QWidget::hide();
}

void WorkProgress::show(const QString& what, double share) {
    if (what.isEmpty()) {
        QWidget::hide();
        return;
    }
    label_->setText(what);
    bar_->setValue(static_cast<int>(std::lround(std::clamp(share, 0.0, 1.0) * 100)));
    QWidget::show();
}

}  // namespace tirelle::app
