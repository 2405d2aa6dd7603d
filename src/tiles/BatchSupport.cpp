#include "tiles/BatchSupport.h"

#include "gui/Platform.h"
#include "model/TileGrid.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace tessera {

QString fileNamePart(const QString& path)
{
    const qsizetype at = path.lastIndexOf(QDir::separator());
    return at < 0 ? path : path.mid(at + 1);
}

QString normalizedPath(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

BatchStart askBatchStart(Platform& platform, const TileGrid& grid, const QString& question,
                         const QString& folderTitle)
{
    if (platform.messageBox(question, MessageButtons::YesNoInfo) != MessageResult::Yes)
        return {BatchStart::Declined, {}};
    const QString folder = platform.browseFolder(folderTitle);
    if (folder.isEmpty())
        return {BatchStart::Cancelled, {}};
    if (grid.mapSize() < 1) {
        platform.messageBox(QStringLiteral("行数不能小于1，请重新输入！"), MessageButtons::OkExclamation);
        return {BatchStart::NoMap, folder};
    }
    return {BatchStart::Go, folder};
}

bool looksLikeImage(Platform& platform, const QString& path)
{
    const ReadResult head = platform.readHead(path, 8);
    if (!head.ok)
        return false;
    const QByteArray& b = head.data;
    return b.startsWith("\xFF\xD8\xFF") || b.startsWith("\x89PNG\r\n\x1A\n") || b.startsWith("GIF87a")
        || b.startsWith("GIF89a") || b.startsWith("BM");
}

QString asideName(const QString& path, int serial)
{
    const QFileInfo info(path);
    return joinFolder(QDir::toNativeSeparators(info.path()),
                      QStringLiteral(".%1.tessera-%2-%3.tmp")
                          .arg(info.fileName())
                          .arg(QCoreApplication::applicationPid())
                          .arg(serial));
}

}  // namespace tessera
