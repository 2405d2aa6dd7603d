#include "batch/BatchSupport.h"

#include "files/OutputFile.h"
#include "files/Files.h"
#include "model/TileGrid.h"
#include "batch/BatchReport.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringBuilder>

namespace tessera {

QString cellFileName(int row, int column)
{
    return QString::number(row) % u'-' % QString::number(column) % QLatin1String(".jpg");
}

int cellOfFileName(QStringView name, int mapSize)
{
    // Numbers as cellFileName writes them: no sign, no leading zero, in the map.
    const auto number = [&](qsizetype& at, QChar end) {
        int value = 0;
        const qsizetype start = at;
        for (; at < name.size() && name[at] != end; ++at) {
            const char16_t digit = name[at].unicode();
            if (digit < u'0' || digit > u'9' || (at == start && digit == u'0') || value > mapSize)
                return -1;
            value = value * 10 + (digit - u'0');
        }
        return at > start && at < name.size() && value <= mapSize ? value : -1;
    };
    qsizetype at = 0;
    const int row = number(at, u'-');
    ++at;
    const int column = row < 0 ? -1 : number(at, u'.');
    if (column < 0 || name.sliced(at) != u".jpg")
        return -1;
    return (row - 1) * mapSize + column - 1;
}

QString fileNamePart(const QString& path)
{
    const qsizetype at = path.lastIndexOf(QDir::separator());
    return at < 0 ? path : path.mid(at + 1);
}

bool looksLikeImage(Files& files, const QString& path)
{
    const ReadResult head = files.readHead(path, 8);
    return head.ok && looksLikeImage(head.data);
}

bool looksLikeImage(QByteArrayView b)
{
    return b.startsWith("\xFF\xD8\xFF") || b.startsWith("\x89PNG\r\n\x1A\n") || b.startsWith("GIF87a")
        || b.startsWith("GIF89a") || b.startsWith("BM");
}

namespace {
const QString kAsideMark = QStringLiteral(".批量更名暂存");
}

QString asideName(const QString& path, int serial)
{
    const QFileInfo info(path);
    QString base = info.fileName();
    if (base.endsWith(QStringLiteral(".jpg"), Qt::CaseInsensitive))
        base.chop(4);
    const QString suffix = serial > 1 ? QStringLiteral("-%1.jpg").arg(serial) : QStringLiteral(".jpg");
    return joinFolder(QDir::toNativeSeparators(info.path()), base + kAsideMark + suffix);
}

int reportStopped(BatchReport& report, int stopped)
{
    if (stopped > 0)
        report.appendResult(QStringLiteral("已停止：还有%1格没有处理，仍指向原来的文件\r\n").arg(stopped));
    return stopped;
}

int tidyFolder(Files& files, BatchReport& report, const QString& folder,
               const std::function<bool(const QString& name)>& wanted)
{
    static const QRegularExpression aside(QStringLiteral("^(.+)%1(?:-\\d+)?\\.jpg$")
                                              .arg(QRegularExpression::escape(kAsideMark)));
    int stuck = 0;
    for (const QString& name : files.fileNames(folder)) {
        // Most names are neither kind: two plain tests before either pattern.
        const bool maybePartial = name.startsWith(u'.') && name.endsWith(QStringLiteral(".part"));
        if (!maybePartial && !name.contains(kAsideMark))
            continue;
        const QString path = joinFolder(folder, name);
        if (const QString target = maybePartial ? partialTargetName(name) : QString(); !target.isEmpty()) {
            if (wanted(target))
                removeAbandonedPartial(path);  // not one that a running writer holds
            continue;
        }
        const QRegularExpressionMatch match = aside.match(name);
        if (!match.hasMatch())
            continue;
        const QString own = joinFolder(folder, match.captured(1) + QStringLiteral(".jpg"));
        if (files.renameFile(path, own)) {
            report.appendResult(QStringLiteral("【%1】是上次中断的更名留下的暂存文件，已恢复为【%2】\r\n").arg(path, own));
        } else {
            ++stuck;
            report.appendResult(QStringLiteral("【%1】是上次中断的更名留下的暂存文件，原名【%2】已被占用，未能恢复\r\n")
                                    .arg(path, own));
        }
    }
    return stuck;
}

}  // namespace tessera
