#pragma once

#include <QObject>

#include <functional>

class QAction;
class QMenu;
class QMenuBar;

namespace tessera {

class MapDocument;
class Dialogs;
class RecentMaps;

// The menu bar and what each command does. Every command that changes or reads the map waits for
// running long work (`LongWork::whenIdle`), so that each one runs whole, as if after it; the
// file and edit commands go to the document, the rest to the window's own commands.
class MainMenus : public QObject {
    Q_OBJECT

public:
    // The commands the window carries out itself.
    struct WindowCommands {
        std::function<void()> newMap;
        std::function<void()> exit;
        std::function<void()> showTileList;
        std::function<void()> exportMapPicture;
        std::function<void()> autoAssemble;
        std::function<void()> slicePicture;
        std::function<void()> showHistory;
        std::function<void()> showManual;
        std::function<void()> clearDoubts;
    };

    MainMenus(QMenuBar* bar, MapDocument& document, Dialogs& dialogs, WindowCommands commands);

    // The commands that need a map, enabled once New map has made one.
    void enableMapCommands();
    // While held (自动拼图 runs), the commands that change the map are disabled: New map, import,
    // the edit menu and 自动拼图 itself.
    void holdMapChanges(bool hold);
    // The edit menu, which also pops up over the canvas.
    QMenu* editMenu() const { return editMenu_; }
    RecentMaps& recentMaps() { return *recent_; }

private:
    void addUndoRedo();
    // 最近打开的地图: the recent maps, newest first; a missing one is said and dropped.
    void addRecentMaps(QMenu* file, Dialogs& dialogs);
    QAction* addCommand(QMenu* menu, const QString& text, const char* role, std::function<void()> run,
                        bool whenIdle = true);

    MapDocument& document_;
    QMenu* editMenu_ = nullptr;
    RecentMaps* recent_ = nullptr;
    QList<QAction*> mapCommands_;
    QList<QAction*> changing_;
    bool mapOpen_ = false;
    bool held_ = false;
};

}  // namespace tessera
