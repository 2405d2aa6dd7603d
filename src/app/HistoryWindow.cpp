#include "app/HistoryWindow.h"

#include "model/MapHistory.h"

#include <QUndoView>
#include <QVBoxLayout>

namespace tessera {

HistoryWindow::HistoryWindow(MapHistory& history, QWidget* parent)
    : QWidget(parent, Qt::Tool), history_(history), view_(new QUndoView(&history.stack(), this))
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(QStringLiteral("历史记录"));
    setAccessibleName(windowTitle());
    view_->setObjectName(QStringLiteral("HistoryView"));
    view_->setEmptyLabel(QStringLiteral("<新地图>"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    resize(260, 360);
    connect(&history.stack(), &QUndoStack::indexChanged, this, &HistoryWindow::follow);
    connect(&history, &MapHistory::cellsSet, this, &HistoryWindow::follow);
    follow();
}

void HistoryWindow::hold(bool held)
{
    held_ = held;
    follow();
}

void HistoryWindow::follow()
{
    view_->setEnabled(!history_.carried() && !held_);
}

}  // namespace tessera
