// What the editor offers from journals: at start-up those of editors that did not end cleanly, and
// from the menu those kept aside.
#include "document/DocumentJournal.h"

#include "document/MapDocument.h"
#include "files/FileErrors.h"
#include "files/Dialogs.h"
#include "journal/JournalRecovery.h"

#include <QDateTime>
#include <QFileInfo>

#include <algorithm>

#include <cerrno>
#include <unistd.h>

namespace tessera {
namespace {

const QString kRecoverQuestion = QStringLiteral("上次编辑没有正常结束，是否恢复未保存的地图？");

int filledCells(const RecoveredMap& map)
{
    return static_cast<int>(std::count_if(map.cells.begin(), map.cells.end(), [](const QString& t) { return !t.isEmpty(); }));
}

QString sizeText(qint64 bytes)
{
    if (bytes < 10 * 1024)
        return QStringLiteral("%1 字节").arg(bytes);
    if (bytes < 10 * 1024 * 1024)
        return QStringLiteral("%1 KB").arg(bytes / 1024);
    return QStringLiteral("%1 MB").arg(bytes / (1024 * 1024));
}

// What a journal that is not whole gave, and why not all.
QString recoveredText(const RecoveredMap& map)
{
    QStringList lines;
    if (map.headerDamaged)
        lines << QStringLiteral("编辑记录的文件头已损坏；其后的记录经逐项校验后读出。");
    if (map.readError != 0)
        lines << QStringLiteral("读取编辑记录时出错（%1），只恢复了出错之前的 %2 项记录。")
                     .arg(fileErrorText(map.readError, FileAccess::Read))
                     .arg(map.entries);
    else if (map.damaged)
        lines << QStringLiteral("编辑记录的末尾已损坏，只恢复了损坏之前的 %1 项记录（完好的 %2，共 %3），之后的修改已丢失。")
                     .arg(map.entries)
                     .arg(sizeText(map.validBytes), sizeText(map.fileSize));
    if (map.behind)
        lines << QStringLiteral("编辑记录曾经写入失败，缺少写入失败之后的修改。");
    lines << QStringLiteral("恢复的地图：%1 × %1，%2 个格子有图片。").arg(map.mapSize).arg(filledCells(map));
    return lines.join(u'\n');
}

const QString kKeptHint = QStringLiteral("可以在“文件 → 恢复以前的地图…”中再次恢复或删除。");

QString keptText(const QString& path)
{
    return QStringLiteral("编辑记录已保留在：\n%1\n").arg(path) + kKeptHint;
}

// Rebuilds the map; the journal it came from goes only when it was whole and this editor's own
// journal now holds the map. True when it went.
bool takeMap(MapDocument& document, const RecoveredMap& map, const QString& journal)
{
    document.restore(map.mapSize, map.cells, map.mapPath);
    return map.whole() && document.journal() && document.journal()->current()
        && ::unlink(QFile::encodeName(journal).constData()) == 0;
}

QString stateText(const RecoveredMap& map)
{
    if (!map.error.ok() || map.mapSize < 1)
        return QStringLiteral("无法读取");
    if (map.damaged || map.headerDamaged)
        return QStringLiteral("已损坏，可恢复一部分");
    if (map.behind)
        return QStringLiteral("缺少最后的修改");
    return QStringLiteral("完好");
}

}  // namespace

bool offerRecovery(MapDocument& document, Dialogs& dialogs, const QString& folder)
{
    JournalRecovery recovery(folder);
    bool recovered = false;
    const QStringList journals = recovery.journals();
    // The newest first: that is the map the user worked on last.
    for (auto it = journals.crbegin(); it != journals.crend(); ++it) {
        const RecoveredMap map = readJournal(*it);
        if (map.disposable()) {
            (void)recovery.remove(*it);
            continue;
        }
        // A journal that is not whole is the user's last copy: it stays, whatever the answer.
        QString journal = *it;
        if (!map.whole()) {
            const JournalRecovery::KeptAside kept = recovery.keepAside(*it);
            if (kept.error.ok())
                journal = kept.path;
        }
        if (!map.error.ok() || map.mapSize < 1) {
            dialogs.messageBox(QStringLiteral("上次编辑没有正常结束，但它的编辑记录无法读取，其中的地图无法恢复（%1）。")
                                    .arg(journalErrorText(map.error)),
                                MessageButtons::OkExclamation, kDefaultMessageTitle, keptText(journal));
            continue;
        }
        const QString informative = map.whole() ? QString() : recoveredText(map) + u'\n' + keptText(journal);
        if (!recovered
            && dialogs.messageBox(kRecoverQuestion, MessageButtons::YesNoInfo, kDefaultMessageTitle, informative)
                == MessageResult::Yes) {
            // Not held elsewhere, it is kept aside: never offered again as the last session's.
            if (!takeMap(document, map, journal) && map.whole())
                (void)recovery.keepAside(*it);
            recovered = true;
            continue;
        }
        if (map.whole()) {
            const JournalRecovery::KeptAside kept = recovery.keepAside(*it);
            if (kept.error.ok())
                dialogs.messageBox(QStringLiteral("未恢复的地图记录已保存在：\n%1").arg(kept.path), MessageButtons::OkInfo,
                                    kDefaultMessageTitle, kKeptHint);
        } else if (recovered) {
            dialogs.messageBox(QStringLiteral("未恢复的地图记录已保存在：\n%1").arg(journal), MessageButtons::OkInfo,
                                kDefaultMessageTitle, recoveredText(map));
        }
    }
    return recovered;
}

void restoreKeptMap(MapDocument& document, Dialogs& dialogs)
{
    const QString folder = document.journal() ? document.journal()->folder() : defaultJournalFolder();
    for (;;) {
        const QStringList kept = JournalRecovery::keptAside(folder);
        if (kept.isEmpty()) {
            dialogs.messageBox(QStringLiteral("没有保留的地图记录。"), MessageButtons::OkInfo);
            return;
        }
        std::vector<RecoveredMap> maps;
        QList<QStringList> rows;
        for (const QString& path : kept) {
            maps.push_back(readJournal(path));
            const RecoveredMap& map = maps.back();
            const bool readable = map.error.ok() && map.mapSize > 0;
            rows << QStringList{QFileInfo(path).lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                readable ? QStringLiteral("%1 × %1").arg(map.mapSize) : QStringLiteral("—"),
                                readable ? QString::number(filledCells(map)) : QStringLiteral("—"), stateText(map)};
        }
        const std::optional<std::pair<int, int>> choice = dialogs.chooseRow(
            QStringLiteral("以前没有恢复的地图（新的在前）：选择一个，恢复为未保存的地图，或者删除它。"),
            QStringLiteral("恢复以前的地图"),
            {QStringLiteral("日期"), QStringLiteral("地图大小"), QStringLiteral("有图片的格子"), QStringLiteral("状态")},
            rows, {QStringLiteral("恢复"), QStringLiteral("删除")});
        if (!choice)
            return;
        const QString& path = kept[choice->first];
        const RecoveredMap& map = maps[static_cast<std::size_t>(choice->first)];
        if (choice->second == 1) {
            if (dialogs.messageBox(QStringLiteral("是否删除这个地图记录？删除后无法再恢复。"), MessageButtons::YesNoInfo)
                    == MessageResult::Yes
                && ::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT) {
                const int error = errno;
                dialogs.messageBox(QStringLiteral("无法删除地图记录：\n%1\n%2").arg(path, fileErrorText(error)),
                                    MessageButtons::OkExclamation);
            }
            continue;
        }
        if (!map.error.ok() || map.mapSize < 1) {
            dialogs.messageBox(QStringLiteral("这个地图记录无法读取，没有可恢复的地图（%1）。").arg(journalErrorText(map.error)),
                                MessageButtons::OkExclamation);
            continue;
        }
        if (document.modified()
            && dialogs.messageBox(QStringLiteral("当前地图有未保存的修改，恢复以前的地图会丢弃这些修改。是否继续？"),
                                   MessageButtons::YesNoInfo)
                != MessageResult::Yes)
            return;
        (void)takeMap(document, map, path);
        return;
    }
}

}  // namespace tessera
