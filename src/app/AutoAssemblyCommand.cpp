#include "app/AutoAssemblyCommand.h"

#include "document/MapDocument.h"
#include "document/MapQuestions.h"
#include "assembly/AssemblyReport.h"
#include "work/LongWork.h"
#include "model/TileGrid.h"
#include "app/ResultWindow.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace tessera {

const FileDialogOptions& mapPictureDialog()
{
    static const FileDialogOptions options{QStringLiteral("图片文件（jpg）|*.jpg"), QStringLiteral("jpg")};
    return options;
}

const FileDialogOptions& assemblyReferenceDialog()
{
    static const FileDialogOptions options{
        QStringLiteral("图片文件（jpg、png、bmp）|*.jpg;*.jpeg;*.png;*.bmp|所有文件|*.*"), QStringLiteral("jpg"),
        QStringLiteral("自动拼图：选择原大地图（整张地图的参考图片）")};
    return options;
}

AutoAssemblyCommand::AutoAssemblyCommand(MapDocument& document, Dialogs& dialogs, ResultReport& report,
                                         QObject* parent)
    : QObject(parent), document_(document), dialogs_(dialogs), report_(report)
{
}

void AutoAssemblyCommand::start(const QString& referencePath)
{
    QString reference = referencePath;
    if (reference.isEmpty()) {
        const std::optional<QString> chosen = dialogs_.openFileDialog(assemblyReferenceDialog());
        if (!chosen || chosen->isEmpty())
            return;
        reference = *chosen;
        emit referenceChosen(reference);
    }
    const QString folder = dialogs_.browseFolder(kFolderTitle);
    if (folder.isEmpty())
        return;
    emit stepChanged(QStringLiteral("读取切片…"));
    const bool started = document_.work().run<std::shared_ptr<const AssemblyInput>>(
        [reference, folder](Progress& progress) {
            return std::make_shared<const AssemblyInput>(readAssemblyInput(reference, folder, progress));
        },
        [this, folder](std::shared_ptr<const AssemblyInput> input) {
            emit stepChanged({});
            inputRead(std::move(input), folder);
        });
    if (!started)
        emit stepChanged({});
}

namespace {

// The grid question: what was read, and whether the slices fill the grid.
QString gridQuestion(const AssemblyInput& input, AssemblyGrid grid)
{
    const QSize slice = input.sliceSize();
    const QSize reference = input.referenceSize();
    QString text = QStringLiteral("找到 %1 个切片（%2 × %3 像素），参考图 %4 × %5 像素。")
                       .arg(input.sliceCount())
                       .arg(slice.width())
                       .arg(slice.height())
                       .arg(reference.width())
                       .arg(reference.height());
    const qint64 cells = static_cast<qint64>(grid.rows) * grid.columns;
    if (cells != input.sliceCount())
        text += QStringLiteral("\n%1 个切片，网格 %2 × %3 = %4 格。").arg(input.sliceCount()).arg(grid.rows).arg(grid.columns).arg(cells);
    return text + QStringLiteral("\n请确认行数和列数：");
}

}  // namespace

std::optional<AssemblyGrid> AutoAssemblyCommand::askGrid(const AssemblyInput& input)
{
    const AssemblyGrid proposed = input.proposedGrid();
    const std::optional<std::pair<int, int>> answer =
        dialogs_.inputTwoNumbers(gridQuestion(input, proposed), kTitle, {QStringLiteral("行数："), QStringLiteral("列数：")},
                                  {std::max(1, proposed.rows), std::max(1, proposed.columns)}, kMaxMapSize);
    if (!answer)
        return std::nullopt;
    return AssemblyGrid{answer->first, answer->second};
}

void AutoAssemblyCommand::inputRead(std::shared_ptr<const AssemblyInput> input, const QString& sliceFolder)
{
    if (!input->ok()) {
        dialogs_.messageBox(failureMessage(input->failure()), MessageButtons::OkExclamation);
        return;
    }
    const std::optional<AssemblyGrid> grid = askGrid(*input);
    if (!grid)
        return;

    const std::optional<int> mapSize = askToFillMap(dialogs_, document_.grid(), grid->rows, grid->columns);
    if (!mapSize)
        return;

    // Matching reads only the features read before; the map changes when it is done.
    emit stepChanged(QStringLiteral("匹配中…"));
    const bool started = document_.work().run<std::shared_ptr<const AssemblyResult>>(
        [input = std::move(input), grid = *grid](Progress& progress) {
            return std::make_shared<const AssemblyResult>(assembleMap(*input, grid, progress));
        },
        [this, mapSize = *mapSize, sliceFolder](std::shared_ptr<const AssemblyResult> result) {
            emit stepChanged({});
            if (!result->ok()) {
                dialogs_.messageBox(failureMessage(result->failure), MessageButtons::OkExclamation);
                return;
            }
            apply(*result, mapSize, sliceFolder);
        });
    if (!started)
        emit stepChanged({});
}

void AutoAssemblyCommand::apply(const AssemblyResult& result, int mapSize, const QString& sliceFolder)
{
    document_.replaceMap(MapCommandKind::Assemble, mapSize, result.cells(mapSize));

    std::vector<Cell> doubtful;
    for (const AssemblyPlacement& p : result.placements) {
        if (p.doubtful())
            doubtful.push_back({p.row, p.column});
    }
    emit doubtfulCells(doubtful);

    report_.showResultWindow();
    report_.appendResult(assemblyReport(result, sliceFolder));
    report_.flush();
    QString message = assemblySummary(result) + QStringLiteral("。");
    if (!doubtful.empty())
        message += QStringLiteral("\n存疑的单元格在地图上以橙色框标出，刷新后消失。");
    message += QStringLiteral("\n每个单元格的结果列在“结果”窗口中。");
    dialogs_.messageBox(message, MessageButtons::OkInfo);
    // The list comes to the front after the box, above the main window.
    if (QWidget* list = report_.window()) {
        list->raise();
        list->activateWindow();
    }
}

}  // namespace tessera
