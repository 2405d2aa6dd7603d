#pragma once

#include "files/Files.h"
#include "files/Dialogs.h"
#include "model/MapPathFile.h"
#include "model/TileGrid.h"
#include "tmx/TiledMap.h"

#include <QObject>

#include <functional>

namespace tessera {

class LongWork;
class Progress;

// The message that tells the user what became of an import or export of `path`.

// Export and import of the map path file with their dialogs and messages. With a `LongWork` the
// reading, writing and encoding run in the background and the grid changes when they are done.
class MapFileCommands : public QObject {
    Q_OBJECT

public:
    static const FileDialogOptions kDialogOptions;
    // 导入数据 also offers TMX and TMJ maps.
    static const FileDialogOptions kImportDialogOptions;
    // 打开地图 offers the three kinds together first.
    static const FileDialogOptions kOpenDialogOptions;

    // How what is imported goes into the map, which only its history changes.
    struct Takers {
        // A map path file's cells; false when they do not fit (the map changed size meanwhile).
        std::function<bool(CellTexts)> cells;
        // A TMX or TMJ map, at its own size.
        std::function<void(int, CellTexts)> map;
        // A map opened: a new map of that size holding these cells, with nothing to undo.
        std::function<void(int, CellTexts)> opened;
    };

    MapFileCommands(const TileGrid& grid, Dialogs& dialogs, Files& files, Progress& progress, Takers takers)
        : grid_(grid), dialogs_(dialogs), files_(files), progress_(progress), take_(std::move(takers))
    {
    }

    void setLongWork(LongWork* work) { work_ = work; }

    // Asks for a file and writes the grid into it atomically. Success is said in a box, or with
    // `inBox` false (保存, done every few minutes) as a `notice`.
    bool exportGrid(bool inBox = true);
    // Asks for a file and replaces the grid's content with it; an unreadable or unsuitable file
    // leaves the grid as it was. A TMX or TMJ map (told by its name, else by its first bytes)
    // brings its own size and does not become the map's path file.
    bool importGrid();
    // 打开地图: asks for a map path file, TMX or TMJ map and makes it the map, sized from the file (a
    // map path file as many cells a side as its lines or its widest line, whichever is more), read
    // as 导入数据 reads it. A map path file becomes the map's path file.
    bool openMap();
    bool openFrom(const QString& path);

    // Without a `LongWork`: true when written or read. With one: true when the work has started.
    // The same holds for the two above.
    bool exportTo(const QString& path, bool inBox = true);
    bool importFrom(const QString& path);

signals:
    // An import of a map path file replaced the grid's content (the full redraw follows), or an
    // export wrote it whole.
    void imported(const QString& path);
    // A TMX or TMJ map replaced the map.
    void importedTiledMap(const QString& path);
    // A map was opened from `path`; a map path file (`pathFile`) becomes the map's path file.
    void opened(const QString& path, bool pathFile);
    void exported(const QString& path);
    // A success said without a box, for the status bar.
    void notice(const QString& text);

private:
    bool confirmUnfitCells();
    bool finishExport(const QString& path, const MapFileResult& result, bool inBox);
    // Where what is read goes: into the map (导入数据), or as a new map (打开地图).
    enum class Into { Map, NewMap };
    bool readInto(const QString& path, Into into);
    bool finishImport(const QString& path, MapFileResult result, Into into);
    struct ImportOutcome;
    bool finishAnyImport(const QString& path, ImportOutcome outcome, Into into);
    // A TMX or TMJ map read with `options` in the background, then finished.
    bool importTiled(const QString& path, const TiledImportOptions& options, Into into);
    bool finishTiledImport(const QString& path, const TiledImportOptions& options, TiledImportResult result, Into into);
    // Which layer when the map has several (not asked yet), and where the tiles it needs go: the
    // options to read it with again, or nothing when nothing more is asked or the user cancelled.
    std::optional<TiledImportOptions> askTiledImport(const QString& path, const TiledImportOptions& asked,
                                                     const TiledImportResult& result);

    const TileGrid& grid_;
    Dialogs& dialogs_;
    Files& files_;
    Progress& progress_;
    LongWork* work_ = nullptr;
    Takers take_;
};

}  // namespace tessera
