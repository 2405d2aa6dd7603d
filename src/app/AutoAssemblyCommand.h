#pragma once

#include "canvas/CanvasGeometry.h"
#include "files/Dialogs.h"
#include "assembly/AssemblyReport.h"
#include "assembly/AutoAssembly.h"

#include <QObject>

#include <memory>
#include <vector>

namespace tessera {

class MapDocument;
class ResultReport;

// The open dialog of the reference picture of 载入原大地图.
const FileDialogOptions& mapPictureDialog();
// 自动拼图's own, when no reference is loaded: every format the assembly reads.
const FileDialogOptions& assemblyReferenceDialog();

// 自动拼图: asks for the reference (unless one is loaded) and the slice folder, reads both in the
// background, lets the user correct the grid, asks before it overwrites or enlarges the map, matches
// in the background and then replaces the map's cells in one step. No widgets: the window follows
// its signals.
class AutoAssemblyCommand : public QObject {
    Q_OBJECT

public:
    static inline const QString kTitle = QStringLiteral("自动拼图");
    static inline const QString kFolderTitle = QStringLiteral("选择切片所在的文件夹");

    AutoAssemblyCommand(MapDocument& document, Dialogs& dialogs, ResultReport& report, QObject* parent = nullptr);

    // Runs the command with the reference picture at `referencePath`, or asks for one when empty.
    void start(const QString& referencePath);

signals:
    // After the document's redraw: the cells whose placement is doubtful.
    void doubtfulCells(const std::vector<Cell>& cells);
    // The reference picture chosen in the command's own dialog: the window shows it and offers it
    // next time.
    void referenceChosen(const QString& path);
    // What runs now ("读取切片…", "匹配中…"); empty once it has ended (also between the two).
    void stepChanged(const QString& step);

private:
    void inputRead(std::shared_ptr<const AssemblyInput> input, const QString& sliceFolder);
    // The grid, proposed from what was read and corrected in one box; nothing on Cancel.
    std::optional<AssemblyGrid> askGrid(const AssemblyInput& input);
    void apply(const AssemblyResult& result, int mapSize, const QString& sliceFolder);

    MapDocument& document_;
    Dialogs& dialogs_;
    ResultReport& report_;
};

}  // namespace tessera
