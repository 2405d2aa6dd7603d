#pragma once

#include "work/LongWork.h"
#include "document/MapFileCommands.h"
#include "model/MapHistory.h"
#include "model/MapShift.h"
#include "model/TileGrid.h"
#include "model/TileGridModel.h"
#include "batch/BatchReport.h"

#include <QImage>
#include <QObject>

#include <functional>
#include <memory>

namespace tessera {

class DocumentJournal;
class Files;
class Platform;

// The map being edited and everything done to it as a whole: its history (the grid's owner and
// only writer: every change a command that undo and redo take back and forth), the grid's table,
// the map path file and whether the map differs from it, the shifts and the
// batch operations, the runner of the long ones, and the group of every background task of the
// program. It shows no widgets; it asks through `Dialogs` on the GUI thread, hands its background
// work only the `Files`, and tells the windows through its signals. `main` makes it before the
// main window and destroys it after.
class MapDocument : public QObject {
    Q_OBJECT

public:
    // The status bar's word after a batch: the files moved, so the history before it ends.
    static inline const QString kHistoryEnded = QStringLiteral("文件的位置已改变，此前的操作无法再撤销。");

    explicit MapDocument(Platform& platform, QObject* parent = nullptr);
    ~MapDocument() override;

    const TileGrid& grid() const { return history_.grid(); }
    TileGridModel& model() { return model_; }
    MapHistory& history() { return history_; }
    LongWork& work() { return work_; }
    // Every background task: the long work's, and the tile fills of the windows.
    TaskGroup& tasks() { return tasks_; }
    MapFileCommands& file() { return file_; }
    Dialogs& dialogs() { return dialogs_; }
    Files& files() { return files_; }

    // New map: the question and the size; true when the map was made, empty, at that size.
    bool newMap();
    // Replaces every cell in one undoable step (`cells` holds mapSize² texts). Another `mapSize`
    // makes the map that size (`mapResized`: the window's tools start over as at New map).
    void replaceMap(MapCommandKind kind, int mapSize, CellTexts cells);
    // The map differs from the map path file last imported or exported (or, with none, from the
    // empty map New map made).
    bool modified() const { return changedOutsideHistory_ || !history_.stack().isClean(); }
    // That file, or empty.
    const QString& mapPath() const { return mapPath_; }
    // 打开地图: asks first whether to save unsaved changes (是, 否, 取消), then opens a map file: the
    // one given (a recent map), or one asked for.
    void openMap(const QString& path = QString());
    // 保存: writes the map to that file again, or asks for one as 导出数据 does when there is none.
    void save();
    // Records every change in a journal in `folder` (empty: the user's state folder) from now on.
    void keepJournal(const QString& folder = QString());
    // A map recovered from a journal: made at its size as New map makes one, its cells, its map path
    // file, and marked unsaved.
    void restore(int mapSize, CellTexts cells, const QString& mapPath);
    // A clean exit: the journal is no longer needed.
    void endCleanly();
    DocumentJournal* journal() const { return journal_; }
    // Asks a distance, then shifts every tile in the background.
    void shift(ShiftDirection direction);
    // Ask their questions, then work in the background on a copy of the map; the map takes the
    // result when they are done or stopped between two files.
    void batchRename(bool fillBlanks);
    void batchMove();

signals:
    // A map file was opened, imported, exported or saved: a recent map.
    void fileUsed(const QString& path);
    // The map has just taken another size: the canvas takes it.
    void mapResized();
    // Import, a shift, a batch rename or 自动拼图 replaced the map's cells: the canvas redraws.
    void mapReplaced();
    // A batch has ended (or stopped): its report, with the last placeholder it drew.
    void batchDone(std::shared_ptr<const RecordedReport> report);
    // Tile files may have moved or come and gone.
    void filesChanged();
    // `modified()` may have changed.
    void modifiedChanged(bool modified);
    // A new map at its size (New map, a recovered map): the window readies itself for it.
    void mapStarted();
    // The map was written to, or read from, its map path file `path`.
    void saved(const QString& path);
    // A short word for the status bar (保存's success, the history ended by a batch).
    void notice(const QString& text);

private:
    void startOver(int mapSize, const QString& mapPath = QString());
    void savedAs(const QString& path);
    void setChangedOutsideHistory(bool changed);
    // The cells a background operation made no longer fit the map, which changed size meanwhile.
    void sayResizedMeanwhile();

    struct BatchOutcome;
    using Batch = std::function<void(TileGrid&, Files&, Progress&, BatchOutcome&)>;
    void runBatch(Batch batch, bool redraw);

    Dialogs& dialogs_;
    Files& files_;
    // First, so that it joins every task after everything else here is gone.
    TaskGroup tasks_;
    MapHistory history_;
    TileGridModel model_{history_.grid()};
    QString mapPath_;
    bool changedOutsideHistory_ = false;  // a batch changed the files and the map past the history
    DocumentJournal* journal_ = nullptr;   // a child, when kept
    NullProgress noProgress_;  // every long operation reports through `work_` instead
    MapFileCommands file_;
    // Last, so that it stops its work before anything else here is gone; it applies nothing then.
    LongWork work_{tasks_};
};

}  // namespace tessera
