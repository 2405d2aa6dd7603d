#include "cli/CommandConvert.h"

#include "cli/CommandOptions.h"
#include "cli/CommandLine.h"

#include "cli/MapInput.h"
#include "files/LocalFiles.h"
#include "files/Progress.h"
#include "model/MapPathFile.h"
#include "tmx/TiledMap.h"

#include <QFileInfo>

#include <optional>

namespace tessera {
namespace {

// Largest cell side of a TMX or TMJ map.
constexpr int kMaxCellSide = 4096;

int badUsage(QTextStream& err, const QString& why)
{
    return usageError(err, QStringLiteral("convert"), why, convertUsage());
}

struct ConvertRequest {
    QString input;
    QString output;
    std::optional<QSize> cell;
    bool externalTileset = false;
    bool atlas = false;
    TiledInputOptions tiled;
};

std::optional<int> readArguments(const QStringList& arguments, ConvertRequest& request, QTextStream& out,
                                 QTextStream& err)
{
    std::optional<QString> output, cell, layer, tiles;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == u"--help" || a == u"-h") {
            out << convertUsage();
            return kExitDone;
        }
        QString name;
        const OptionMatch match = takeOption(
            arguments, i,
            {{QStringLiteral("--output"), &output}, {QStringLiteral("-o"), &output}, {QStringLiteral("--cell"), &cell},
             {QStringLiteral("--layer"), &layer}, {QStringLiteral("--tiles"), &tiles}},
            name);
        if (match == OptionMatch::MissingValue)
            return badUsage(err, QStringLiteral("%1 后面缺少值").arg(name));
        if (match == OptionMatch::Taken)
            continue;
        if (a == u"--tsx")
            request.externalTileset = true;
        else if (a == u"--atlas")
            request.atlas = true;
        else if (a.startsWith(u'-') && a.size() > 1)
            return badUsage(err, QStringLiteral("未知的选项“%1”").arg(quotedArgument(a)));
        else if (request.input.isEmpty())
            request.input = a;
        else
            return badUsage(err, QStringLiteral("多余的参数“%1”").arg(quotedArgument(a)));
    }
    request.output = output.value_or(QString());
    request.tiled = {layer.value_or(QString()), tiles.value_or(QString()), request.output};
    if (cell) {
        request.cell = parseCellSize(*cell, kMaxCellSide);
        if (!request.cell)
            return badUsage(err, QStringLiteral("单元格大小“%1”无效：应为 宽x高，每边 1 到 %2 像素")
                                     .arg(quotedArgument(*cell))
                                     .arg(kMaxCellSide));
    }
    if (request.input.isEmpty())
        return badUsage(err, QStringLiteral("缺少输入地图"));
    if (request.output.isEmpty())
        return badUsage(err, QStringLiteral("缺少 -o 输出地图"));
    const QString suffix = QFileInfo(request.output).suffix().toLower();
    const bool tiled = hasTiledMapExtension(request.output);
    if (!tiled && suffix != u"tlp" && suffix != u"txt")
        return badUsage(err, QStringLiteral("输出文件须以 .tmx、.tmj、.tlp 或 .txt 结尾"));
    if (!tiled && (request.cell || request.externalTileset || request.atlas))
        return badUsage(err, QStringLiteral("--cell、--tsx 和 --atlas 只用于 TMX/TMJ 输出"));
    if (request.atlas && request.externalTileset)
        return badUsage(err, QStringLiteral("--atlas 的图块集嵌在地图中，不能与 --tsx 同用"));
    return std::nullopt;
}

int writePathFile(const ConvertRequest& request, const CommandMap& map, QTextStream& out, QTextStream& err)
{
    // A path with "|" or a line break would read back as other cells.
    qsizetype unfit = 0;
    QString first;
    for (const QString& cell : map.cells)
        if (cell.contains(u'|') || cell.contains(u'\r') || cell.contains(u'\n'))
            if (unfit++ == 0)
                first = cell;
    if (unfit > 0) {
        err << QStringLiteral("%1 个单元格的路径含有“|”或换行符，无法按原样存入地图路径文件，没有写入：%2\n"
                              "例如：%3\n")
                   .arg(unfit)
                   .arg(request.output, first);
        return kExitFailed;
    }
    LocalFiles files;
    NullProgress quiet;
    const MapFileResult written = writeMapPathFile(files, request.output, map.cells, map.size, quiet, {request.input});
    if (!written.ok()) {
        err << QStringLiteral("地图路径文件没有写入：%1\n%2\n").arg(request.output, written.failure.detail);
        return kExitFailed;
    }
    out << QStringLiteral("已写入地图路径文件：%1（%2 × %2）\n").arg(request.output).arg(map.size);
    return kExitDone;
}

int writeTiled(const ConvertRequest& request, const CommandMap& map, QTextStream& out, QTextStream& err)
{
    TiledExportOptions options;
    options.cell = request.cell ? *request.cell : defaultTiledCell(map.cells);
    options.externalTileset = request.externalTileset;
    options.atlas = request.atlas;
    NullProgress quiet;
    const TiledExportResult result = writeTiledMap(map.cells, map.size, request.output, options, quiet, {request.input});
    if (!result.ok()) {
        err << failureMessage(result.failure) << u'\n';
        return kExitFailed;
    }
    out << QStringLiteral("已导出地图：%1（%2 × %2，%3 个图块，单元格 %4 × %5 像素）\n")
               .arg(request.output)
               .arg(map.size)
               .arg(result.tiles)
               .arg(options.cell.width())
               .arg(options.cell.height());
    if (!result.tilesetPath.isEmpty())
        out << QStringLiteral("图块集：%1\n").arg(result.tilesetPath);
    for (const QString& sheet : result.atlasPaths)
        out << QStringLiteral("图集：%1\n").arg(sheet);
    if (result.sizesUnknown > 0)
        err << (request.atlas ? QStringLiteral("注意：%1 个图片文件无法读取，在图集中留空。\n")
                              : QStringLiteral("注意：%1 个图片文件无法读取，没有写入其大小。\n"))
                   .arg(result.sizesUnknown);
    if (result.sizesOther > 0)
        err << QStringLiteral("注意：%1 个图片的大小不是单元格的 %2 × %3。游戏引擎（Tiled、Phaser、melonJS 等）按图片原大"
                              "从单元格的左下角画起，会盖住相邻的单元格或填不满；加 --atlas 可导出缩放到单元格大小的图集。\n")
                   .arg(result.sizesOther)
                   .arg(options.cell.width())
                   .arg(options.cell.height());
    return kExitDone;
}

}  // namespace

QString convertUsage()
{
    return QStringLiteral(
        "用法：tessera convert 输入地图 -o 输出地图 [--cell 宽x高] [--tsx | --atlas] [--layer 图层名] [--tiles 文件夹]\n"
        "\n"
        "在地图路径文件（.tlp、.txt）与 TMX/TMJ 地图（.tmx、.tmj）之间转换，不需要显示器。\n"
        "输入的种类按扩展名、再按内容判断；输出的种类按扩展名。\n"
        "  -o 输出地图     .tmx 或 .tmj：正交地图，一个名为“地图”的图块图层，一个图片集合图块集；\n"
        "                  .tlp 或 .txt：地图路径文件\n"
        "  --cell 宽x高    TMX/TMJ 地图的单元格大小，默认取第一个图块图片的大小，没有则 400x300\n"
        "  --tsx           把图块集写成输出地图旁边的 .tsx 或 .tsj 文件，而不是嵌在地图中\n"
        "  --atlas         把各个图块缩放到单元格大小，拼成输出地图旁边的图集（PNG，每张至多 4096 × 4096），\n"
        "                  每张图集一个图块集：游戏引擎（如 Phaser）每个图块集一次调用即可画出地图\n"
        "图片路径尽量写成相对于输出文件的路径。\n"
        "读入 TMX/TMJ 地图时：\n")
        + tiledInputUsage()
        + QStringLiteral("出错时不留下文件；退出状态：0 成功，1 文件无法读取或写入，2 用法错误。\n");
}

int runConvert(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    ConvertRequest request;
    if (const std::optional<int> ended = readArguments(arguments, request, out, err))
        return *ended;
    const std::optional<CommandMap> map = readCommandMap(request.input, request.tiled, out, err);
    if (!map)
        return kExitFailed;
    for (const QString& note : map->notes)
        err << QStringLiteral("注意：") << note << u'\n';
    return hasTiledMapExtension(request.output) ? writeTiled(request, *map, out, err)
                                                : writePathFile(request, *map, out, err);
}

}  // namespace tessera
