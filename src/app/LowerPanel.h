#pragma once

#include <QWidget>

class QTabBar;

namespace tessera {

// A tab control whose pages share its own coordinates: the tab headers take the top 21 pixels
// and the controls of a page are placed relative to the whole control, below the headers.
class LowerPanelTabs : public QWidget {
    Q_OBJECT

public:
    explicit LowerPanelTabs(QWidget* parent = nullptr);

    QWidget* addPage(const QString& caption, const QString& objectName);
    void setCurrentIndex(int index);
    int currentIndex() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QTabBar* tabBar_;
    QList<QWidget*> pages_;
};

}  // namespace tessera
