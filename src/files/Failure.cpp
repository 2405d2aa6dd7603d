// The words for every failure of the engines.
#include "files/Failure.h"
#include "files/FileErrors.h"

#include <QDir>
#include <QFileInfo>

#include <iterator>

namespace tessera {
namespace {

QString fileOf(const Failure& f, int i = 0)
{
    return QDir::toNativeSeparators(f.files.value(i));
}

qint64 figure(const Failure& f, int i)
{
    return f.figures.value(i);
}

// The reason a failure's detail or cause gives.
QString why(const Failure& f)
{
    // The words of the causes from NotRegularFile on, in their order.
    static const char16_t* const kWords[] = {
        u"不是普通文件", u"无法创建文件夹", u"无法编码 JPEG 图片", u"不是 JPEG 文件",
        u"不受支持的 JPEG 种类", u"JPEG 图片太大，无法读取", u"JPEG 数据有误", u"不是能读取的图片格式",
        u"找不到文件", u"无法读取文件", u"图片数据有误", u"无法读取图片",
        u"不是可以读懂的图片", u"无法建立文件夹", u"同名的文件太多",
    };
    static_assert(std::size(kWords) == std::size_t(FailureCause::NamesTaken) - std::size_t(FailureCause::NotRegularFile) + 1);
    switch (f.cause) {
    case FailureCause::Detail:
        return f.detail;
    case FailureCause::ReadError:
        return fileErrorText(f.error, FileAccess::Read);
    case FailureCause::WriteError:
        return fileErrorText(f.error);
    default:
        return QString::fromUtf16(kWords[std::size_t(f.cause) - std::size_t(FailureCause::NotRegularFile)]);
    }
}

// The map picture, and a cancelled work of any kind.
QString pictureReason(const Failure& f)
{
    switch (f.kind) {
    case FailureKind::Cancelled:
        if (f.work == FailedWork::Slice)
            return QStringLiteral("已取消切分大图，已写入的 %1 个切片完整，地图没有改变。").arg(figure(f, 0));
        return f.work == FailedWork::AutoAssembly ? QStringLiteral("已取消自动拼图") : QStringLiteral("导出已取消。");
    case FailureKind::EmptyMap:
        return QStringLiteral("地图是空的。");
    case FailureKind::CellSizeOutOfRange:
        return QStringLiteral("单元格大小须在 1 到 %1 像素之间。").arg(figure(f, 0));
    case FailureKind::JpegTooLarge:
        return QStringLiteral("图片为 %1 × %2 像素，JPEG 图片的宽和高不能超过 %3 像素；"
                              "请选小一些的单元格，或存为 PNG 图片。")
            .arg(figure(f, 0))
            .arg(figure(f, 1))
            .arg(figure(f, 2));
    case FailureKind::BandTooLarge:
        return QStringLiteral("图片太大：一行单元格就有 %1 × %2 像素；请选小一些的单元格。").arg(figure(f, 0)).arg(figure(f, 1));
    case FailureKind::Unwritable:
        return f.detail;
    case FailureKind::EncoderFailed:
        return QStringLiteral("无法编码 %1 图片").arg(f.detail);
    case FailureKind::OutOfMemory:
        return QStringLiteral("内存不足。");
    default:
        return {};
    }
}

// 自动拼图.
QString assemblyReason(const Failure& f)
{
    switch (f.kind) {
    case FailureKind::ReferenceUnreadable:
        return f.files.isEmpty() ? QStringLiteral("无法读取原大地图") : QStringLiteral("无法读取原大地图：%1").arg(fileOf(f));
    case FailureKind::SliceFolderMissing:
        return QStringLiteral("找不到切片文件夹：%1").arg(fileOf(f));
    case FailureKind::SliceFolderUnreadable:
        return QStringLiteral("无法读取切片文件夹：%1\n%2").arg(fileOf(f), why(f));
    case FailureKind::NoSlices:
        return QStringLiteral("文件夹中没有切片（JPEG、PNG 或 BMP 图片）：%1").arg(fileOf(f));
    case FailureKind::SliceUnreadable:
        return QStringLiteral("无法读取切片：%1").arg(fileOf(f));
    case FailureKind::SliceSizesDiffer:
        return QStringLiteral("切片大小不一致：%1 为 %2 × %3，%4 为 %5 × %6")
            .arg(QFileInfo(f.files.value(0)).fileName())
            .arg(figure(f, 0))
            .arg(figure(f, 1))
            .arg(QFileInfo(f.files.value(1)).fileName())
            .arg(figure(f, 2))
            .arg(figure(f, 3));
    case FailureKind::GridOutOfRange:
        return QStringLiteral("行数和列数须在 1 到 %1 之间").arg(figure(f, 0));
    case FailureKind::GridTooLarge:
        return QStringLiteral("%1 行 × %2 列远多于切片的数量（%3 个）").arg(figure(f, 0)).arg(figure(f, 1)).arg(figure(f, 2));
    default:
        return {};
    }
}

// TMX and TMJ maps.
QString tiledReason(const Failure& f)
{
    switch (f.kind) {
    case FailureKind::FileUnreadable:
        return QStringLiteral("无法读取文件：%1\n%2").arg(fileOf(f, 1), why(f));
    case FailureKind::NotTiledMap:
        return QStringLiteral("不是可以读懂的 TMX/TMJ 文件：%1\n%2").arg(fileOf(f, 1), f.detail);
    case FailureKind::UnsupportedMap:
        return QStringLiteral("只能导入正交（orthogonal）的有限地图，这张地图是%1。").arg(f.detail);
    case FailureKind::TiledMapTooLarge:
        return QStringLiteral("地图为 %1 × %2 个单元格，宽和高都不能超过 %3。").arg(figure(f, 0)).arg(figure(f, 1)).arg(figure(f, 2));
    case FailureKind::NoTileLayer:
        return QStringLiteral("地图中没有图块图层。");
    case FailureKind::SpritesheetTileset:
        return QStringLiteral("图块集“%1”是从一张大图切出的图块（spritesheet），但没有注明大图或图块的宽和高。")
            .arg(f.files.value(1));
    case FailureKind::UnstorablePath:
        return QStringLiteral("图片路径含有 XML 中无法保存的控制字符：%1\n请导出为 TMJ 地图。").arg(fileOf(f, 1));
    case FailureKind::TileUnwritable:
        return QStringLiteral("无法写入图块图片：%1\n%2").arg(fileOf(f, 1), why(f));
    case FailureKind::NoSuchLayer:
        return f.files.size() > 1 ? QStringLiteral("地图中没有名为“%1”的图块图层；它的图块图层有：%2。")
                                        .arg(f.detail, f.files.mid(1).join(QStringLiteral("、")))
                                  : QStringLiteral("地图中没有名为“%1”的图块图层。").arg(f.detail);
    default:
        return {};
    }
}

// 切分大图.
QString sliceReason(const Failure& f)
{
    switch (f.kind) {
    case FailureKind::PictureUnreadable:
        return why(f).isEmpty() ? QStringLiteral("无法读取图片：%1").arg(fileOf(f))
                                : QStringLiteral("无法读取图片：%1\n%2").arg(fileOf(f), why(f));
    case FailureKind::PictureTooLarge:
        return QStringLiteral("图片 %1 为 %2 × %3 像素：PNG、BMP、TIFF 和渐进式 JPEG 图片要整张读入，"
                              "只能切分 %4 万像素以内的；更大的图片请先存为普通（基线）JPEG。")
            .arg(fileOf(f))
            .arg(figure(f, 0))
            .arg(figure(f, 1))
            .arg(figure(f, 2) / 10000);
    case FailureKind::PictureCut:
        return QStringLiteral("图片 %1 不完整或已损坏：读到第 %2 行（共 %3 行）时中断。已写入的 %4 个切片完整。")
            .arg(fileOf(f))
            .arg(figure(f, 0))
            .arg(figure(f, 1))
            .arg(figure(f, 2));
    case FailureKind::SliceCellOutOfRange:
        return QStringLiteral("单元格的宽和高须在 %1 到 %2 像素之间。").arg(figure(f, 0)).arg(figure(f, 1));
    case FailureKind::SliceGridTooLarge:
        return QStringLiteral("切分后有 %1 行 × %2 列，超过了 %3 × %3 的最大地图；请选大一些的单元格。")
            .arg(figure(f, 0))
            .arg(figure(f, 1))
            .arg(figure(f, 2));
    case FailureKind::SliceExists:
        return QStringLiteral("文件已经存在，不会覆盖：%1").arg(fileOf(f));
    case FailureKind::SliceUnwritable:
        return QStringLiteral("无法写入：%1\n%2\n已写入的 %3 个切片完整。").arg(fileOf(f), why(f)).arg(figure(f, 0));
    default:
        return {};
    }
}

// The map path file, read or written by the editor or by a command.
QString mapFileMessage(const Failure& f)
{
    const QString path = f.files.value(0);
    const bool command = f.work == FailedWork::CommandMapFile;
    switch (f.kind) {
    case FailureKind::MapFileUnreadable:
        return command ? QStringLiteral("无法读取地图路径文件：%1\n%2").arg(path, why(f))
                       : QStringLiteral("导入失败，无法读取文件：\n%1\n%2").arg(path, why(f));
    case FailureKind::NotMapText: {
        const QString what = notMapTextReason(static_cast<MapFileKind>(figure(f, 0)));
        return command ? QStringLiteral("%1 不是青石地图路径文件（%2）。").arg(path, what)
                       : QStringLiteral("导入失败：\n%1\n不是青石地图路径文件（%2），地图没有改变。").arg(path, what);
    }
    case FailureKind::MapFileTooLarge:
        return QStringLiteral("%1 有 %2 行、最长一行 %3 个字段，超过了 %4 × %4 的最大地图。")
            .arg(path)
            .arg(figure(f, 0))
            .arg(figure(f, 1))
            .arg(figure(f, 2));
    case FailureKind::MapFileUnwritable:
        return command ? QStringLiteral("无法写入地图路径文件：%1\n%2").arg(path, why(f))
                       : QStringLiteral("导出失败，文件没有写入：\n%1\n%2").arg(path, why(f));
    default:
        return QStringLiteral("导出已取消，文件没有写入：\n%1").arg(path);
    }
}

// Why, without the file a map picture failure names first.
QString reason(const Failure& f)
{
    if (f.kind < FailureKind::ReferenceUnreadable)
        return pictureReason(f);
    if (f.kind < FailureKind::FileUnreadable)
        return assemblyReason(f);
    if (f.kind < FailureKind::PictureUnreadable)
        return tiledReason(f);
    return f.kind < FailureKind::MapFileUnreadable ? sliceReason(f) : mapFileMessage(f);
}

}  // namespace

QString failureMessage(const Failure& failure)
{
    if (failure.ok())
        return {};
    // A file's failure names the file first.
    switch (failure.work) {
    case FailedWork::MapPicture:
        return QStringLiteral("地图图片没有写入：\n%1\n").arg(failure.files.value(0)) + reason(failure);
    case FailedWork::TiledExport:
        return QStringLiteral("地图没有导出：\n%1\n").arg(failure.files.value(0)) + reason(failure);
    case FailedWork::TiledImport:
        if (failure.kind == FailureKind::Cancelled)
            return QStringLiteral("导入已取消，地图没有改变。");
        return QStringLiteral("导入失败：\n%1\n").arg(failure.files.value(0)) + reason(failure)
            + QStringLiteral("\n地图没有改变。");
    case FailedWork::TiledRead:
        return QStringLiteral("无法读取地图：\n%1\n").arg(failure.files.value(0)) + reason(failure);
    case FailedWork::MapFile:
    case FailedWork::CommandMapFile:
        return mapFileMessage(failure);
    case FailedWork::AutoAssembly:
    case FailedWork::Slice:
        break;
    }
    return reason(failure);
}

QString notMapTextReason(MapFileKind kind)
{
    switch (kind) {
    case MapFileKind::Utf16:
        return QStringLiteral("这是 UTF-16 编码的文本");
    case MapFileKind::Picture:
        return QStringLiteral("这是图片文件");
    case MapFileKind::Archive:
        return QStringLiteral("这是压缩文件");
    case MapFileKind::OtherText:
        return QStringLiteral("这像是 JSON 或 XML 文本：行尾只有 LF，整个文件会是一个含有换行的单元格，不是图块的路径");
    case MapFileKind::Binary:
    case MapFileKind::Text:
        break;
    }
    return QStringLiteral("这不是文本文件");
}

}  // namespace tessera
