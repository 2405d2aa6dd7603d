#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;

namespace tessera {

// Shows the hint of the control under the mouse whenever the mouse moves within `root`. The hint
// belongs to the nearest enclosing control with a hint; a disabled control shows none. The last
// hint stays until another replaces it.
class HintTracker : public QObject {
    Q_OBJECT

public:
    HintTracker(QWidget* root, std::function<void(const QString&)> showHint);
    ~HintTracker() override;

    // The hint that a mouse move over `widget` shows, or nothing.
    QString hintFor(QWidget* widget) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> root_;
    std::function<void(const QString&)> showHint_;
};

}  // namespace tessera
