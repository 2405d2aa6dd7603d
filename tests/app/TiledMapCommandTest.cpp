// 导出为 TMX/TMJ 地图… and 导入数据 of such a map, through the main window's menu.
#include "app/MainWindow.h"
#include "document/MapDocument.h"
#include "support/MapEdits.h"
#include "support/ScriptedPlatform.h"
#include "support/TestImages.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QUndoStack>

#include <gtest/gtest.h>

using namespace tessera;

TEST(TiledMapCommand, ExportsFromTheFileMenuAndImportsBackAsOneUndoableStep)
{
    QTemporaryDir dir;
    auto path = [&dir](const char* name) { return dir.filePath(QString::fromUtf8(name)); };
    ScriptedPlatform platform;
    MapDocument mapDocument(platform);
    MainWindow window(platform, mapDocument);
    MapDocument& document = window.document();
    const QList<QAction*> file = window.findChild<QMenu*>(QStringLiteral("FileMenu"))->actions();
    auto* exportItem = window.findChild<QAction*>(QStringLiteral("ExportTiledMapCommand"));
    ASSERT_NE(exportItem, nullptr);
    const qsizetype data = file.indexOf(window.findChild<QAction*>(QStringLiteral("ExportDataCommand")));
    EXPECT_EQ(file.indexOf(exportItem), data + 1);
    EXPECT_EQ(exportItem->text(), QStringLiteral("导出为 TMX/TMJ 地图…"));
    EXPECT_FALSE(exportItem->isEnabled());

    platform.answerYes();
    platform.answerInput(QStringLiteral("3"));
    window.newMap();
    ASSERT_TRUE(exportItem->isEnabled());
    ASSERT_TRUE(writeSolidImage(path("红 石.jpg"), testcolors::kRed, QSize(64, 48)));
    ASSERT_TRUE(writeSolidImage(path("蓝.jpg"), testcolors::kBlue, QSize(32, 24)));
    setCell(document, 1, 2, path("红 石.jpg"));
    setCell(document, 3, 1, path("蓝.jpg"));
    setCell(document, 3, 3, path("红 石.jpg"));
    const CellTexts exported = document.grid().cells();

    // The first tile's size is offered first; another is chosen.
    platform.answerSave(path("地图.tmx"));
    platform.answerTiledExport(QStringLiteral("80 × 60"), false);
    exportItem->trigger();
    window.waitForWork();
    const auto offered = std::find_if(platform.shown().begin(), platform.shown().end(),
                                      [](const auto& box) { return box.kind == DialogKind::TiledExport; });
    ASSERT_NE(offered, platform.shown().end());
    EXPECT_TRUE(offered->text.startsWith(QStringLiteral("64 × 48\n"))) << offered->text.toStdString();
    EXPECT_TRUE(platform.unanswered().isEmpty()) << platform.unanswered().join(u',').toStdString();
    EXPECT_TRUE(platform.messages().constLast().startsWith(QStringLiteral("地图已导出：\n") + path("地图.tmx")))
        << platform.messages().constLast().toStdString();
    QFile written(path("地图.tmx"));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray tmx = written.readAll();
    EXPECT_TRUE(tmx.contains("tilewidth=\"80\" tileheight=\"60\"")) << tmx.constData();
    EXPECT_TRUE(tmx.contains("<image width=\"64\" height=\"48\" source=\"红 石.jpg\"/>")) << tmx.constData();

    // Imported into a map of another size under a name that does not say TMX: told by its content.
    ASSERT_TRUE(QFile::copy(path("地图.tmx"), path("地图.txt")));
    platform.answerYes();
    platform.answerInput(QStringLiteral("5"));
    window.newMap();
    setCell(document, 5, 5, path("蓝.jpg"));
    const CellTexts before = document.grid().cells();
    auto* importItem = window.findChild<QAction*>(QStringLiteral("ImportDataCommand"));
    platform.answerOpen(path("地图.txt"));
    importItem->trigger();
    window.waitForWork();
    EXPECT_TRUE(qtFilterList(platform.lastFileDialog().filters).contains(QStringLiteral("TMX/TMJ 地图 (*.tmx *.tmj)")));
    EXPECT_EQ(document.grid().mapSize(), 3);
    EXPECT_EQ(document.grid().cells(), exported);
    EXPECT_EQ(platform.messages().constLast(), QStringLiteral("已导入地图：\n%1\n3 × 3 个单元格").arg(path("地图.txt")));
    // Not the map's path file: 保存 would not write over the TMX map.
    EXPECT_TRUE(document.mapPath().isEmpty());
    EXPECT_TRUE(document.modified());

    document.history().undo();
    EXPECT_EQ(document.grid().mapSize(), 5);
    EXPECT_EQ(document.grid().cells(), before);
    document.history().redo();
    EXPECT_EQ(document.grid().cells(), exported);

    // A map it cannot take leaves the map as it was, and says why.
    QFile broken(path("broken.tmx"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(tmx.left(tmx.size() / 2));
    broken.close();
    platform.answerOpen(path("broken.tmx"));
    importItem->trigger();
    window.waitForWork();
    EXPECT_EQ(document.grid().cells(), exported);
    EXPECT_TRUE(platform.messages().constLast().startsWith(QStringLiteral("导入失败：\n") + path("broken.tmx")));
}

// A map of Tiled's examples with two layers on a spritesheet: the layer and the tiles' folder are
// asked, once each, and the cells name the tiles cut into that folder.
TEST(TiledMapCommand, ImportAsksForTheLayerAndTheTilesFolder)
{
    const QString examples = QStringLiteral("/usr/share/doc/tiled/examples/");
    if (!QFile::exists(examples + QStringLiteral("sewers.tmx")))
        GTEST_SKIP() << "Debian's tiled package (installed by scripts/setup) is missing";
    QTemporaryDir dir;
    for (const char* name : {"sewers.tmx", "sewer_tileset.png"})
        ASSERT_TRUE(QFile::copy(examples + QLatin1String(name), dir.filePath(QLatin1String(name))));
    ScriptedPlatform platform;
    MapDocument mapDocument(platform);
    MainWindow window(platform, mapDocument);
    platform.answerYes();
    platform.answerInput(QStringLiteral("3"));
    window.newMap();
    const QString folder = dir.filePath(QStringLiteral("sewers 图块"));
    platform.answerOpen(dir.filePath(QStringLiteral("sewers.tmx")));
    platform.answerChoice(QStringLiteral("Top"));
    platform.answerChoice(folder);
    window.findChild<QAction*>(QStringLiteral("ImportDataCommand"))->trigger();
    window.waitForWork();
    EXPECT_TRUE(platform.unanswered().isEmpty()) << platform.unanswered().join(u',').toStdString();
    EXPECT_TRUE(platform.messages().join(u'\n').contains(QStringLiteral("图块图片：") + folder));
    const CellTexts& cells = window.document().grid().cells();
    ASSERT_EQ(window.document().grid().mapSize(), 50);
    EXPECT_EQ(std::count_if(cells.begin(), cells.end(), [&](const QString& c) { return c.startsWith(folder); }),
              std::count_if(cells.begin(), cells.end(), [](const QString& c) { return !c.isEmpty(); }));
    EXPECT_GT(QDir(folder).entryList(QDir::Files).size(), 3);
}
