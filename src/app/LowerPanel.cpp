#include "app/LowerPanel.h"

#include <QTabBar>

namespace tessera {

LowerPanelTabs::LowerPanelTabs(QWidget* parent) : QWidget(parent), tabBar_(new QTabBar(this))
{
    setObjectName(QStringLiteral("LowerPanelTabs"));
    tabBar_->setObjectName(QStringLiteral("LowerPanelTabBar"));
    tabBar_->setDrawBase(true);
    tabBar_->setExpanding(false);
    connect(tabBar_, &QTabBar::currentChanged, this, &LowerPanelTabs::setCurrentIndex);
}

QWidget* LowerPanelTabs::addPage(const QString& caption, const QString& objectName)
{
    auto* page = new QWidget(this);
    page->setObjectName(objectName);
    page->setAccessibleName(caption);
    page->setGeometry(rect());
    pages_.append(page);
    tabBar_->addTab(caption);
    setCurrentIndex(tabBar_->currentIndex());
    tabBar_->raise();
    return page;
}

void LowerPanelTabs::setCurrentIndex(int index)
{
    if (tabBar_->currentIndex() != index)
        tabBar_->setCurrentIndex(index);
    for (int i = 0; i < pages_.size(); ++i)
        pages_[i]->setVisible(i == index);
}

int LowerPanelTabs::currentIndex() const
{
    return tabBar_->currentIndex();
}

void LowerPanelTabs::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    tabBar_->setGeometry(0, 0, width(), 21);
    for (QWidget* page : pages_)
        page->setGeometry(rect());
}

}  // namespace tessera
