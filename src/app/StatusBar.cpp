#include "app/StatusBar.h"

#include "app/Texts.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTimer>

#include <climits>

namespace tessera {

StatusBar::StatusBar(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("StatusBar"));
    setAccessibleName(QStringLiteral("状态条"));
    setFixedHeight(kHeight);
    setAutoFillBackground(true);  // opaque over the lower panel pushed behind it
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        panels_[i] = label;
    }
    panels_[2]->setText(texts::kHintLabel);
    placePanels();
}

void StatusBar::setPanelText(int panel, const QString& text)
{
    panels_[static_cast<std::size_t>(panel)]->setText(text);
}

QString StatusBar::panelText(int panel) const
{
    return panels_[static_cast<std::size_t>(panel)]->text();
}

void StatusBar::setPanelWidth(int panel, int width)
{
    widths_[static_cast<std::size_t>(panel)] = std::max(0, width);
    placePanels();
}

void StatusBar::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    placePanels();
}

void StatusBar::placePanels()
{
    int left = 0;
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        panels_[i]->setGeometry(left, 0, widths_[i], height());
        left += widths_[i];
    }
}

ProgressBar::ProgressBar(QWidget* parent) : QProgressBar(parent), resetTimer_(new QTimer(this))
{
    setObjectName(QStringLiteral("ProgressBar"));
    setAccessibleName(QStringLiteral("操作进度条"));
    setTextVisible(false);
    setRange(0, 100);
    setValue(0);
    resetTimer_->setObjectName(QStringLiteral("ProgressResetTimer"));
    resetTimer_->setSingleShot(true);
    resetTimer_->setInterval(1);
    connect(resetTimer_, &QTimer::timeout, this, [this] {
        if (value() == maximum())
            setValue(0);
    });
    sincePump_.start();
}

void ProgressBar::start(std::int64_t maximum)
{
    maximum_ = std::max<std::int64_t>(0, maximum);
    position_ = 0;
    scaleShift_ = 0;
    while ((maximum_ >> scaleShift_) > INT_MAX)
        ++scaleShift_;
    setRange(0, static_cast<int>(maximum_ >> scaleShift_));
    show(true);
}

void ProgressBar::advance(std::int64_t steps)
{
    position_ = std::min(position_ + steps, maximum_);
    show(position_ == maximum_);
}

void ProgressBar::show(bool force)
{
    // Painting a million steps would cost more than the work: show at most every 30 ms.
    if (!force && sincePump_.elapsed() < 30)
        return;
    setValue(static_cast<int>(position_ >> scaleShift_));
    if (value() == maximum())
        resetTimer_->start();
    if (sincePump_.elapsed() >= 30) {
        sincePump_.restart();
        repaint();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

}  // namespace tessera
