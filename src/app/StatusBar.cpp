#include "app/StatusBar.h"

#include "app/Texts.h"

#include <QLabel>
#include <QTimer>

#include <algorithm>
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

ProgressBar::ProgressBar(QWidget* parent)
    : QProgressBar(parent), resetTimer_(new QTimer(this)), pollTimer_(new QTimer(this))
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
    pollTimer_->setInterval(30);
    connect(pollTimer_, &QTimer::timeout, this, &ProgressBar::poll);
}

void ProgressBar::start(std::int64_t maximum)
{
    maximum_ = std::max<std::int64_t>(0, maximum);
    position_ = 0;
    display(position_, maximum_);
}

void ProgressBar::advance(std::int64_t steps)
{
    position_ = std::min(position_ + steps, maximum_);
    display(position_, maximum_);
}

void ProgressBar::follow(std::shared_ptr<const WorkProgress> work)
{
    followed_ = std::move(work);
    if (followed_) {
        display(0, followed_->maximum());
        pollTimer_->start();
    }
}

void ProgressBar::poll()
{
    if (!followed_) {
        pollTimer_->stop();
        return;
    }
    display(followed_->position(), followed_->maximum());
    if (followed_.use_count() == 1) {  // the work has ended: the bar empties, however far it came
        followed_.reset();
        pollTimer_->stop();
        resetTimer_->stop();
        setRange(0, 100);
        setValue(0);
    }
}

void ProgressBar::display(std::int64_t position, std::int64_t maximum)
{
    // Maxima beyond int range are shown scaled down.
    int shift = 0;
    while ((maximum >> shift) > INT_MAX)
        ++shift;
    const int top = static_cast<int>(maximum >> shift);
    if (QProgressBar::maximum() != top)
        setRange(0, top);
    setValue(static_cast<int>(std::clamp<std::int64_t>(position, 0, maximum) >> shift));
    if (value() == QProgressBar::maximum())
        resetTimer_->start();
}

}  // namespace tessera
