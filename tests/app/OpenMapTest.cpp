// The desktop habits: 打开地图 and the recent maps (a map file opened without New map, sized from
// the file), the manual.
#include "app/HelpWindow.h"
#include "app/MainWindow.h"
#include "app/Texts.h"
#include "document/MapDocument.h"
#include "document/RecentMaps.h"
#include "support/MapEdits.h"
#include "support/ScriptedPlatform.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTextBrowser>

#include <algorithm>

#include <gtest/gtest.h>

using namespace tessera;

TEST(OpenMap, TakesItsSizeFromTheFileBecomesTheMapPathFileAndAsksBeforeUnsavedChangesGo)
{
    QTemporaryDir dir;
    const QString tlp = dir.filePath(QStringLiteral("三行.tlp")), tmx = dir.filePath(QStringLiteral("m.tmx"));
    // Three lines, the widest of four fields: a 4 × 4 map; a 2 × 2 TMX map.
    const QByteArray tmxBytes = "<map orientation=\"orthogonal\" width=\"2\" height=\"2\" tilewidth=\"8\" tileheight=\"8\">"
        "<tileset firstgid=\"1\" name=\"t\" tilewidth=\"8\" tileheight=\"8\"><tile id=\"0\"><image source=\"x.png\"/></tile>"
        "</tileset><layer name=\"a\" width=\"2\" height=\"2\"><data encoding=\"csv\">1,0,0,1</data></layer></map>";
    for (auto [path, bytes] : {std::pair{tlp, QByteArray("a.jpg|b.jpg\r\n|||d.jpg\r\nc.jpg\r\n")}, {tmx, tmxBytes}}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    ScriptedPlatform platform;
    MapDocument document(platform);
    MainWindow window(platform, document);
    auto* open = window.findChild<QAction*>(QStringLiteral("OpenMapCommand"));
    RecentMaps& recent = *window.findChild<RecentMaps*>();
    recent.clear();  // of the tests before
    EXPECT_TRUE(open->isEnabled());  // no map needed first

    platform.answerOpen(tlp);
    open->trigger();
    window.waitForWork();
    EXPECT_TRUE(platform.lastFileDialog().filters.startsWith(QStringLiteral("地图（TLP、TXT、TMX、TMJ）|*.tlp;*.txt;*.tmx;*.tmj|")));
    ASSERT_EQ(document.grid().mapSize(), 4);
    EXPECT_EQ(document.grid().cellText(2, 4), QStringLiteral("d.jpg"));
    EXPECT_EQ(document.mapPath(), tlp);
    EXPECT_FALSE(document.modified());
    EXPECT_FALSE(document.history().stack().canUndo());

    // Unsaved changes: 取消 keeps the map, 否 lets it go; a TMX map brings its size and no path file.
    setCell(document, 1, 1, QStringLiteral("z.jpg"));
    platform.answer(MessageResult::Cancel);
    open->trigger();
    window.waitForWork();
    EXPECT_EQ(document.grid().cellText(1, 1), QStringLiteral("z.jpg"));
    platform.answerNo();
    platform.answerOpen(tmx);
    open->trigger();
    window.waitForWork();
    EXPECT_EQ(platform.countShown(QStringLiteral("当前地图有未保存的修改，是否先保存？")), 2);
    EXPECT_EQ(document.grid().mapSize(), 2);
    EXPECT_TRUE(document.mapPath().isEmpty());
    EXPECT_FALSE(document.history().stack().canUndo());

    // Both are recent maps, newest first; a missing one is said and dropped.
    EXPECT_EQ(recent.paths(), (QStringList{QDir::toNativeSeparators(tmx), QDir::toNativeSeparators(tlp)}));
    ASSERT_TRUE(QFile::remove(tlp));
    const QList<QAction*> entries = window.findChild<QMenu*>(QStringLiteral("RecentMapsMenu"))->actions();
    ASSERT_EQ(entries.size(), 2);
    entries[1]->trigger();
    window.waitForWork();
    EXPECT_TRUE(platform.messages().constLast().startsWith(QStringLiteral("找不到这个地图文件")));
    EXPECT_EQ(recent.paths(), QStringList{QDir::toNativeSeparators(tmx)});
    EXPECT_EQ(document.grid().mapSize(), 2);
}

// The list over many additions: newest first, each path once, at most ten, kept across runs.
TEST(RecentMapsTest, NewestFirstOnceEachAtMostTenAndKeptAcrossRuns)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("recent.ini"));
    QStringList model;
    {
        RecentMaps recent(file);
        for (int i = 0; i < 200; ++i) {
            const QString path = QDir::toNativeSeparators(dir.filePath(QStringLiteral("m%1.tlp").arg((i * 7) % 13)));
            recent.add(path);
            model.removeAll(path);
            model.prepend(path);
            while (model.size() > RecentMaps::kKept)
                model.removeLast();
            ASSERT_EQ(recent.paths(), model) << i;
        }
    }
    EXPECT_EQ(RecentMaps(file).paths(), model);
}

// 帮助 → 使用手册 (F1): the usage notes first, then the sections; each place found in turn, from the
// top again after the last. 关于地图编辑器 names the version.
TEST(ManualWindow, StartsWithTheUsageNotesAndFindsEachPlaceInTurn)
{
    ScriptedPlatform platform;
    MapDocument document(platform);
    MainWindow window(platform, document);
    window.findChild<QAction*>(QStringLiteral("ManualCommand"))->trigger();
    auto* manual = window.findChild<HelpWindow*>();
    ASSERT_NE(manual, nullptr);
    auto* browser = window.findChild<QTextBrowser*>(QStringLiteral("ManualText"));
    EXPECT_TRUE(browser->toPlainText().startsWith(QStringLiteral("使用说明\n\n") + texts::usageNotes().replace(u'\r', QString())));
    QList<int> found;
    for (qsizetype i = 0; i <= browser->toPlainText().count(QStringLiteral("存疑")); ++i) {
        ASSERT_TRUE(manual->findNext(QStringLiteral("存疑")));
        found << browser->textCursor().selectionStart();
    }
    EXPECT_GT(found.size(), 2);
    EXPECT_EQ(found.constLast(), found.constFirst());
    EXPECT_TRUE(std::is_sorted(found.begin(), found.end() - 1));
    window.findChild<QAction*>(QStringLiteral("AboutEditorCommand"))->trigger();
    EXPECT_EQ(platform.shown().constLast().informative, QStringLiteral("版本 1.0"));
}
