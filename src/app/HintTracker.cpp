#include "app/HintTracker.h"

#include "app/Texts.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

namespace tessera {

HintTracker::HintTracker(QWidget* root, std::function<void(const QString&)> showHint)
    : QObject(root), root_(root), showHint_(std::move(showHint))
{
    qApp->installEventFilter(this);
}

HintTracker::~HintTracker()
{
    qApp->removeEventFilter(this);
}

QString HintTracker::hintFor(QWidget* widget) const
{
    for (QWidget* w = widget; w && w != root_; w = w->parentWidget()) {
        const auto it = texts::hints().constFind(w->objectName());
        if (it != texts::hints().constEnd())
            return w->isEnabled() ? *it : QString();
    }
    return {};
}

bool HintTracker::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseMove || !watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (!root_ || widget->window() != root_)
        return false;
    // A move that a child ignored reaches its parents too; resolve the deepest widget under the
    // pointer so that every delivery names the same control.
    const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
    QWidget* target = widget->childAt(at);
    const QString hint = hintFor(target ? target : widget);
    if (!hint.isEmpty())
        showHint_(hint);
    return false;
}

}  // namespace tessera
