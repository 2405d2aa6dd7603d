#include "cli/CommandSlice.h"

#include "cli/CommandOptions.h"
#include "files/LocalFiles.h"
#include "files/Progress.h"
#include "model/MapPathFile.h"
#include "slicing/PictureSlicer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <optional>

namespace tessera {
namespace {

int badUsage(QTextStream& err, const QString& why)
{
    return usageError(err, QStringLiteral("slice"), why, sliceUsage());
}

struct SliceRequest {
    std::optional<QString> picture;
    std::optional<QString> folder;
    std::optional<QString> cell;
    std::optional<QString> quality;
    std::optional<QString> pad;
    std::optional<QString> map;
    std::optional<QString> reference;
};

// Reads the arguments; the exit status when the run ends there (help or bad usage).
std::optional<int> readArguments(const QStringList& arguments, SliceRequest& request, QTextStream& out,
                                 QTextStream& err)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == u"--help" || a == u"-h") {
            out << sliceUsage();
            return kExitDone;
        }
        QString name;
        const OptionMatch match = takeOption(
            arguments, i,
            {{QStringLiteral("--output"), &request.folder},  {QStringLiteral("-o"), &request.folder},
             {QStringLiteral("--cell"), &request.cell},      {QStringLiteral("--quality"), &request.quality},
             {QStringLiteral("--pad"), &request.pad},        {QStringLiteral("--map"), &request.map},
             {QStringLiteral("--reference"), &request.reference}},
            name);
        if (match == OptionMatch::MissingValue)
            return badUsage(err, QStringLiteral("%1 后面缺少值").arg(name));
        if (match == OptionMatch::Taken)
            continue;
        if (a.startsWith(u'-') && a.size() > 1)
            return badUsage(err, QStringLiteral("未知的选项“%1”").arg(quotedArgument(a)));
        if (request.picture)
            return badUsage(err, QStringLiteral("多余的参数“%1”").arg(quotedArgument(a)));
        request.picture = a;
    }
    if (request.picture.value_or(QString()).isEmpty())
        return badUsage(err, QStringLiteral("缺少要切分的图片"));
    if (request.folder.value_or(QString()).isEmpty())
        return badUsage(err, QStringLiteral("缺少 -o 文件夹"));
    return std::nullopt;
}

// The settings the request names; the exit status when one is wrong.
std::optional<int> readSettings(const SliceRequest& request, SliceSettings& settings, QTextStream& err)
{
    if (request.cell) {
        const std::optional<QSize> cell = parseCellText(*request.cell);
        if (!cell || std::min(cell->width(), cell->height()) < kMinSliceSide
            || std::max(cell->width(), cell->height()) > kMaxSliceSide)
            return badUsage(err, QStringLiteral("单元格大小“%1”无效：应为 宽x高，每边 %2 到 %3 像素")
                                     .arg(quotedArgument(*request.cell))
                                     .arg(kMinSliceSide)
                                     .arg(kMaxSliceSide));
        settings.cell = *cell;
    }
    if (request.quality) {
        bool ok = false;
        settings.quality = request.quality->toInt(&ok);
        if (!ok || settings.quality < 1 || settings.quality > 100)
            return badUsage(err, QStringLiteral("JPEG 质量“%1”无效：应为 1 到 100 的整数").arg(quotedArgument(*request.quality)));
    }
    if (request.pad) {
        const QColor colour = QColor::fromString(*request.pad);
        if (!colour.isValid())
            return badUsage(err, QStringLiteral("颜色“%1”无效：应为 #RRGGBB 或颜色名（如 white、black）").arg(quotedArgument(*request.pad)));
        settings.pad = colour;
    }
    if (request.reference)
        settings.reference = QFileInfo(*request.reference).absoluteFilePath();
    return std::nullopt;
}

// Why a file cannot be made at `path` (its folder is missing, is no folder or may not be written);
// empty when it can.
QString outputFolderProblem(const QString& path)
{
    const QFileInfo folder(QFileInfo(path).absolutePath());
    if (!folder.exists())
        return QStringLiteral("文件夹 %1 不存在").arg(QDir::toNativeSeparators(folder.filePath()));
    if (!folder.isDir())
        return QStringLiteral("%1 不是文件夹").arg(QDir::toNativeSeparators(folder.filePath()));
    if (!folder.isWritable())
        return QStringLiteral("不能在文件夹 %1 中写入").arg(QDir::toNativeSeparators(folder.filePath()));
    if (QFileInfo(path).isDir())
        return QStringLiteral("%1 是一个文件夹").arg(QDir::toNativeSeparators(path));
    return {};
}

}  // namespace

QString sliceUsage()
{
    return QStringLiteral(
        "用法：tessera slice 大图 -o 文件夹 [--cell 宽x高] [--quality 90] [--pad 颜色] [--map 地图路径文件]\n"
        "                    [--reference 参考图]\n"
        "\n"
        "把一张大图（JPEG 不限大小；PNG、BMP、TIFF 至多 5000 万像素）切分为单元格大小的 JPEG 切片，\n"
        "按单元格命名（行-列.jpg，如 3-12.jpg），不需要显示器。\n"
        "  -o 文件夹          切片写入的文件夹，不存在时新建；已有的文件不会被覆盖\n"
        "  --cell 宽x高       单元格的像素大小，默认 400x300，每边 8 到 4000 像素\n"
        "  --quality 质量     JPEG 质量，1 到 100，默认 90\n"
        "  --pad 颜色         最后一列和一行用此颜色补足整个单元格（如 #000000、white）；\n"
        "                     不给时保持较窄的大小\n"
        "  --map 地图路径文件  另写地图路径文件（.tlp，每个单元格为其切片的绝对路径）\n"
        "  --reference 参考图  整张图缩小到 2000 × 2000 以内的参考图，默认为文件夹中的 原大地图.jpg\n"
        "出错时已写入的切片完整无损并列在标准错误输出上；退出状态：0 成功，1 文件无法读取或写入，2 用法错误。\n");
}

int runSlice(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    SliceRequest request;
    if (const std::optional<int> ended = readArguments(arguments, request, out, err))
        return *ended;
    SliceSettings settings;
    if (const std::optional<int> ended = readSettings(request, settings, err))
        return *ended;
    const QString picture = QFileInfo(*request.picture).absoluteFilePath();
    const QString folder = QFileInfo(*request.folder).absoluteFilePath();

    // Every output's folder is looked at before the first slice is written.
    const std::pair<QString, std::optional<QString>> outputs[] = {{QStringLiteral("地图路径文件"), request.map},
                                                                  {QStringLiteral("参考图"), request.reference}};
    for (const auto& [what, path] : outputs) {
        if (!path || path->isEmpty())
            continue;
        if (const QString problem = outputFolderProblem(*path); !problem.isEmpty()) {
            err << QStringLiteral("tessera slice：无法写入%1 %2：%3。没有切分任何切片。\n").arg(what, *path, problem);
            return kExitFailed;
        }
    }

    QElapsedTimer clock;
    clock.start();
    LocalFiles files;
    NullProgress quiet;
    const SliceResult result = slicePicture(files, picture, folder, settings, quiet);
    if (!result.ok()) {
        err << QStringLiteral("tessera slice：") << failureMessage(result.failure) << u'\n';
        if (!result.written.isEmpty())
            err << QStringLiteral("已写入的切片：\n") << result.written.join(u'\n') << u'\n';
        return kExitFailed;
    }
    if (request.map && !request.map->isEmpty()) {
        const int mapSize = std::max(result.rows, result.columns);
        const MapFileResult written = writeMapPathFile(files, *request.map, result.cells(mapSize), mapSize, quiet,
                                                       QStringList{picture, result.reference} + result.written);
        if (!written.ok()) {
            err << failureMessage(written.failure.of(FailedWork::CommandMapFile)) << u'\n';
            return kExitFailed;
        }
    }
    out << QStringLiteral("已把 %1 × %2 像素的图片切分为 %3 行 × %4 列、%5 个切片，用时 %6 秒：%7\n")
               .arg(result.picture.width())
               .arg(result.picture.height())
               .arg(result.rows)
               .arg(result.columns)
               .arg(result.written.size())
               .arg(QString::number(clock.elapsed() / 1000.0, 'f', 1), QDir::toNativeSeparators(folder));
    if (result.turned)
        out << result.turnedNote() << u'\n';
    return kExitDone;
}

}  // namespace tessera
