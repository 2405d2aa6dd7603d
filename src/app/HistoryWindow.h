#pragma once

#include <QWidget>

class QUndoView;

namespace tessera {

class MapHistory;

// 历史记录: every command of the map's history by name, the current one selected; a click goes back
// or forward to it, as the menu's undo and redo would. Nothing can be chosen while a tile is carried
// or while held (long work runs on a snapshot of the map).
class HistoryWindow : public QWidget {
    Q_OBJECT

public:
    HistoryWindow(MapHistory& history, QWidget* parent);
    void hold(bool held);

private:
    void follow();

    MapHistory& history_;
    QUndoView* view_;
    bool held_ = false;
};

}  // namespace tessera
