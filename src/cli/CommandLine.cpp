#include "cli/CommandLine.h"

#include "cli/CommandAssemble.h"
#include "cli/CommandConvert.h"
#include "cli/MapInput.h"
#include "cli/CommandOptions.h"
#include "cli/CommandSlice.h"
#include "render/MapPicture.h"
#include "render/TileImages.h"
#include "files/Files.h"
#include "files/Progress.h"
#include "model/MapPathFile.h"
#include "model/MapText.h"

#include <QCoreApplication>

#include <cstdio>
#include <memory>

namespace tessera {
namespace {

// Decoded tiles kept while rendering: every tile of a 1000 × 1000 map that reuses 10,000 files.
constexpr qint64 kRenderCacheBytes = 64LL * 1024 * 1024;

QString usage()
{
    return QStringLiteral(
        "用法：\n"
        "  tessera                                   启动地图编辑器\n"
        "  tessera render 地图 -o 图片文件 [--cell 宽x高] [--layer 图层名] [--tiles 文件夹]\n"
        "                                            把整张地图导出为一张图片\n"
        "  tessera assemble --reference 参考图 --slices 切片文件夹 [--rows 行数 --cols 列数] -o 地图路径文件\n"
        "                                            按参考图把切片自动拼成地图路径文件\n"
        "  tessera convert 输入地图 -o 输出地图 [--cell 宽x高] [--tsx] [--atlas] …\n"
        "                                            在地图路径文件与 TMX/TMJ 地图之间转换\n"
        "  tessera slice 大图 -o 文件夹 [--cell 宽x高] [--quality 90] [--pad 颜色] [--map 地图路径文件]\n"
        "                                            把一张大图切分为单元格大小的 JPEG 切片\n"
        "  tessera --help                            显示本说明\n"
        "  tessera --version                         显示版本\n");
}

QString renderUsage()
{
    return QStringLiteral(
               "用法：tessera render 地图 -o 图片文件 [--cell 宽x高] [--layer 图层名] [--tiles 文件夹]\n"
               "\n"
               "把地图路径文件（.tlp 或 .txt）或 TMX/TMJ 地图中的整张地图导出为一张图片，不需要显示器。\n"
               "地图路径文件的地图大小取文件的行数和最长一行的字段数中较大的一个。\n"
               "  -o 图片文件     以 .jpg 或 .jpeg 结尾时写 JPEG 图片，否则写 PNG 图片\n"
               "  --cell 宽x高    每个单元格的像素大小，默认 40x30（如 40x16、80x60、200x150、400x300）\n")
        + tiledInputUsage()
        + QStringLiteral("空单元格和无法读取的图片在 PNG 中透明，在 JPEG 中为灰色。\n"
                         "出错时不留下文件；退出状态：0 成功，1 文件无法读取或写入，2 用法错误。\n");
}

int badUsage(QTextStream& err, const QString& why)
{
    return usageError(err, QStringLiteral("render"), why, renderUsage());
}

// What `render` was asked to do.
struct RenderRequest {
    QString mapPath;
    QString output;
    QSize cell = kPictureCellSizes.constFirst();
    TiledInputOptions tiled;
};

// Reads the arguments of `render` into `request`; the exit status when the run ends there (help or
// bad usage).
std::optional<int> readRenderArguments(const QStringList& arguments, RenderRequest& request, QTextStream& out,
                                       QTextStream& err)
{
    QString& mapPath = request.mapPath;
    QString& output = request.output;
    QSize& cell = request.cell;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (a == u"--help" || a == u"-h") {
            out << renderUsage();
            return kExitDone;
        }
        QString name;
        std::optional<QString> layer, tiles;
        const OptionMatch match =
            takeOption(arguments, i, {{QStringLiteral("--layer"), &layer}, {QStringLiteral("--tiles"), &tiles}}, name);
        if (match == OptionMatch::MissingValue)
            return badUsage(err, QStringLiteral("%1 后面缺少值").arg(name));
        if (layer)
            request.tiled.layer = *layer;
        if (tiles)
            request.tiled.tilesFolder = *tiles;
        if (match == OptionMatch::Taken)
            continue;
        if (a == u"-o" || a == u"--output") {
            if (!hasValue)
                return badUsage(err, QStringLiteral("%1 后面缺少图片文件名").arg(a));
            output = arguments[++i];
        } else if (a == u"--cell" || a.startsWith(u"--cell=")) {
            QString value;
            if (a == u"--cell") {
                if (!hasValue)
                    return badUsage(err, QStringLiteral("--cell 后面缺少单元格大小"));
                value = arguments[++i];
            } else {
                value = a.mid(7);
            }
            const std::optional<QSize> parsed = parseCellSize(value, kMaxPictureCellSide);
            if (!parsed)
                return badUsage(err, QStringLiteral("单元格大小“%1”无效：应为 宽x高，每边 1 到 %2 像素")
                                         .arg(quotedArgument(value))
                                         .arg(kMaxPictureCellSide));
            cell = *parsed;
        } else if (a.startsWith(u'-') && a.size() > 1) {
            return badUsage(err, QStringLiteral("未知的选项“%1”").arg(quotedArgument(a)));
        } else if (mapPath.isEmpty()) {
            mapPath = a;
        } else {
            return badUsage(err, QStringLiteral("多余的参数“%1”").arg(quotedArgument(a)));
        }
    }
    if (mapPath.isEmpty())
        return badUsage(err, QStringLiteral("缺少地图路径文件"));
    if (output.isEmpty())
        return badUsage(err, QStringLiteral("缺少 -o 图片文件"));
    return std::nullopt;
}

int render(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    RenderRequest request;
    if (const std::optional<int> ended = readRenderArguments(arguments, request, out, err))
        return *ended;
    const QString& mapPath = request.mapPath;
    const QString& output = request.output;
    const QSize cell = request.cell;

    request.tiled.output = output;
    const std::optional<CommandMap> map = readCommandMap(mapPath, request.tiled, out, err);
    if (!map)
        return kExitFailed;
    for (const QString& note : map->notes)
        err << note << u'\n';
    TileImageCache cache(kRenderCacheBytes);
    NullProgress quiet;
    const MapPictureResult result =
        writeMapPicture(map->cells, map->size, cell, output, cache, quiet, {mapPath});
    if (!result.ok()) {
        err << failureMessage(result.failure) << u'\n';
        return kExitFailed;
    }
    out << QStringLiteral("已导出地图图片：%1（%2）\n").arg(output, describePicture(result));
    return kExitDone;
}

}  // namespace

int runCommand(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    int status = kExitBadUsage;
    if (arguments.isEmpty()) {
        err << usageSynopsis(usage(), QStringLiteral("tessera --help"));
    } else if (const QString& command = arguments.constFirst(); command == u"--help" || command == u"-h"
                                                                || command == u"help") {
        out << usage();
        status = kExitDone;
    } else if (command == u"render") {
        status = render(arguments.mid(1), out, err);
    } else if (command == u"assemble") {
        status = runAssemble(arguments.mid(1), out, err);
    } else if (command == u"convert") {
        status = runConvert(arguments.mid(1), out, err);
    } else if (command == u"slice") {
        status = runSlice(arguments.mid(1), out, err);
    } else {
        err << QStringLiteral("tessera：未知的命令“%1”\n").arg(quotedArgument(command))
            << usageSynopsis(usage(), QStringLiteral("tessera --help"));
    }
    out.flush();
    err.flush();
    return status;
}

namespace {

// Qt's own options, taken by the editor: those followed by a value, then those alone.
const QStringList kQtValueOptions = {
    QStringLiteral("platform"), QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"),
    QStringLiteral("plugin"), QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"),
    QStringLiteral("qwindowtitle"), QStringLiteral("session"), QStringLiteral("display"), QStringLiteral("geometry"),
    QStringLiteral("style"), QStringLiteral("stylesheet"), QStringLiteral("name"), QStringLiteral("title"),
    QStringLiteral("dialogs"), QStringLiteral("qmljsdebugger")};
const QStringList kQtFlags = {QStringLiteral("reverse"), QStringLiteral("widgetcount"), QStringLiteral("nograb"),
                              QStringLiteral("dograb"), QStringLiteral("sync"), QStringLiteral("visual")};
const QStringList kCommands = {QStringLiteral("render"), QStringLiteral("assemble"), QStringLiteral("convert"),
                               QStringLiteral("slice"), QStringLiteral("help")};

// The option's name without its leading dashes and any "=value".
QString qtOptionName(const QString& argument)
{
    QString name = argument.mid(argument.startsWith(u"--") ? 2 : 1);
    return name.left(name.indexOf(u'='));
}

enum class Start { Editor, Command, Help, Version, BadUsage };

// What the arguments ask for: the editor when they are Qt's own options only; `why` says what is
// wrong with bad usage.
Start startOf(const QStringList& arguments, QString& why)
{
    if (arguments.isEmpty())
        return Start::Editor;
    const QString& first = arguments.constFirst();
    if (!first.startsWith(u'-'))
        return Start::Command;
    for (const QString& a : arguments) {
        if (kCommands.contains(a)) {
            why = QStringLiteral("命令“%1”必须写在最前面：tessera %1 …").arg(a);
            return Start::BadUsage;
        }
    }
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == u"--version" || a == u"-v")
            return Start::Version;
        if (a == u"--help" || a == u"-h")
            return Start::Help;
        const QString name = qtOptionName(a);
        if (!a.startsWith(u'-') || a == u"-" || (!kQtFlags.contains(name) && !kQtValueOptions.contains(name))) {
            why = a.startsWith(u'-') ? QStringLiteral("未知的选项“%1”").arg(quotedArgument(a))
                                      : QStringLiteral("未知的命令“%1”").arg(quotedArgument(a));
            return Start::BadUsage;
        }
        if (kQtValueOptions.contains(name) && !a.contains(u'=') && ++i >= arguments.size()) {
            why = QStringLiteral("%1 后面缺少它的值").arg(a);
            return Start::BadUsage;
        }
    }
    return Start::Editor;
}

}  // namespace

std::optional<int> runCommandLine(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QString why;
    const Start start = startOf(arguments, why);
    if (start == Start::Editor)
        return std::nullopt;
    // No display is needed: a core application only.
    QCoreApplication app(argc, argv);
    arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (start == Start::Version || start == Start::Help) {
        out << (start == Start::Help ? usage() : QStringLiteral("tessera %1\n").arg(QStringLiteral(TESSERA_VERSION)));
        return kExitDone;
    }
    if (start == Start::BadUsage) {
        err << QStringLiteral("tessera：") << why << u'\n' << usageSynopsis(usage(), QStringLiteral("tessera --help"));
        return kExitBadUsage;
    }
    return runCommand(arguments, out, err);
}

}  // namespace tessera
