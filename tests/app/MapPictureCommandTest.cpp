// The whole map as a picture: from the 功能 menu, and from the command line.
#include "cli/CommandLine.h"
#include "app/MainWindow.h"
#include "document/MapDocument.h"
#include "support/MapEdits.h"
#include "support/ScriptedPlatform.h"
#include "model/MapText.h"
#include "support/TestImages.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tessera;
using namespace testcolors;

namespace {

class MapPictureCommandTest : public testing::Test {
protected:
    MapPictureCommandTest()
    {
        writeSolidImage(path("red.jpg"), kRed);
        writeSolidImage(path("blue.jpg"), kBlue);
    }
    QString path(const QString& name) const { return dir.filePath(name); }

    // Runs `tessera ARGUMENTS`; what it printed lands in `out` and `err`.
    int run(const QStringList& arguments)
    {
        out.clear();
        err.clear();
        QTextStream o(&out), e(&err);
        return runCommand(arguments, o, e);
    }
    void writeMap(const QString& name, const QString& gridText) const
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(encodeMapText(gridText));
    }

    QTemporaryDir dir;
    QString out, err;
};

TEST_F(MapPictureCommandTest, MenuItemFollowsDataAnalysisAndWritesThePictureInTheBackground)
{
    ScriptedPlatform platform;
    MapDocument mapDocument(platform);
    MainWindow window(platform, mapDocument);
    auto* item = window.findChild<QAction*>(QStringLiteral("ExportMapPictureCommand"));
    ASSERT_NE(item, nullptr);
    const QList<QAction*> functions = window.findChild<QMenu*>(QStringLiteral("FunctionMenu"))->actions();
    ASSERT_EQ(functions.size(), 4);  // 自动拼图… and 切分大图… follow
    EXPECT_EQ(functions[0]->objectName(), QStringLiteral("DataAnalysisCommand"));
    EXPECT_EQ(functions[1], item);
    EXPECT_EQ(item->text(), QStringLiteral("导出地图图片…"));
    EXPECT_FALSE(item->isEnabled());

    platform.answerYes();
    platform.answerInput(QStringLiteral("2"));
    window.newMap();
    EXPECT_TRUE(item->isEnabled());
    setCell(window.document(), 1, 2, path("red.jpg"));
    setCell(window.document(), 2, 1, path("blue.jpg"));

    // The name typed without an extension becomes a PNG; the size in use on the canvas, 40 × 16, is
    // offered first.
    window.findChild<QRadioButton*>(QStringLiteral("CellSize40x16Radio"))->click();
    platform.answerSave(path("map"));
    platform.answerChoice(QStringLiteral("40 × 16"));
    item->trigger();
    window.waitForWork();
    EXPECT_EQ(platform.lastChoiceOffered(), 1);
    EXPECT_EQ(qtFilterList(platform.lastFileDialog().filters), QStringLiteral("PNG 图片 (*.png);;JPEG 图片 (*.jpg *.jpeg)"));
    EXPECT_TRUE(platform.unanswered().isEmpty()) << platform.unanswered().join(u',').toStdString();
    const QImage picture(path("map.png"));
    ASSERT_EQ(picture.size(), QSize(80, 32));
    EXPECT_EQ(qAlpha(picture.pixel(10, 5)), 0);
    EXPECT_TRUE(near(picture.pixel(60, 8), kRed));
    EXPECT_TRUE(near(picture.pixel(20, 24), kBlue));
    ASSERT_FALSE(platform.messages().isEmpty());
    EXPECT_TRUE(platform.messages().constLast().contains(path("map.png")));
    EXPECT_TRUE(platform.messages().constLast().contains(QStringLiteral("80 × 32 像素")));

    // A folder that cannot hold it: a message, and no file.
    platform.answerSave(path("red.jpg/map.png"));
    platform.answerChoice(QStringLiteral("40 × 30"));
    item->trigger();
    window.waitForWork();
    EXPECT_TRUE(platform.messages().constLast().startsWith(QStringLiteral("地图图片没有写入")));
    EXPECT_EQ(platform.shown().constLast().buttons, MessageButtons::OkExclamation);

    // A tile of the map under another name: refused, the tile stays.
    QFile tile(path("red.jpg"));
    ASSERT_TRUE(tile.open(QIODevice::ReadOnly));
    const QByteArray red = tile.readAll();
    tile.close();
    ASSERT_TRUE(QFile::link(path("red.jpg"), path("red.png")));
    platform.answerSave(path("red.png"));
    platform.answerChoice(QStringLiteral("40 × 30"));
    item->trigger();
    window.waitForWork();
    EXPECT_TRUE(platform.messages().constLast().endsWith(QStringLiteral("输入文件“%1”，不能覆盖").arg(path("red.jpg"))))
        << platform.messages().constLast().toStdString();
    ASSERT_TRUE(tile.open(QIODevice::ReadOnly));
    EXPECT_EQ(tile.readAll(), red);

    // Cancel in the size box writes nothing.
    platform.answerSave(path("cancelled.png"));
    platform.answerCancel(DialogKind::Choice);
    item->trigger();
    window.waitForWork();
    EXPECT_FALSE(QFile::exists(path("cancelled.png")));
}

TEST_F(MapPictureCommandTest, RenderTakesTheMapSizeFromTheFileAndTheCellSizeAsAsked)
{
    // Two lines, the longer with three fields: a 3 × 3 map.
    writeMap(QStringLiteral("map.tlp"),
             QStringLiteral("%1|空|%2\r\n空|%2\r\n").arg(path("red.jpg"), path("blue.jpg")));
    ASSERT_EQ(run({QStringLiteral("render"), path("map.tlp"), QStringLiteral("-o"), path("map.png"),
                   QStringLiteral("--cell"), QStringLiteral("80x60")}),
              0)
        << err.toStdString();
    const QImage picture(path("map.png"));
    ASSERT_EQ(picture.size(), QSize(240, 180));
    EXPECT_TRUE(near(picture.pixel(0, 0), kRed));
    EXPECT_TRUE(near(picture.pixel(239, 59), kBlue));
    EXPECT_TRUE(near(picture.pixel(159, 119), kBlue));
    EXPECT_EQ(qAlpha(picture.pixel(100, 10)), 0);
    EXPECT_EQ(qAlpha(picture.pixel(239, 179)), 0);
    EXPECT_TRUE(out.contains(QStringLiteral("240 × 180 像素")));

    ASSERT_EQ(run({QStringLiteral("render"), path("map.tlp"), QStringLiteral("-o"), path("map.jpg")}), 0);
    EXPECT_EQ(QImage(path("map.jpg")).size(), QSize(120, 90));
}

TEST_F(MapPictureCommandTest, UsageErrorsExitWithTwoAndFileErrorsWithOneLeavingNoFile)
{
    writeMap(QStringLiteral("map.tlp"), QStringLiteral("%1\r\n").arg(path("red.jpg")));
    const QString map = path("map.tlp"), png = path("out.png");
    const QString o = QStringLiteral("-o"), render = QStringLiteral("render");
    for (const QStringList& arguments : std::vector<QStringList>{
             {render},
             {render, map},
             {render, o, png},
             {render, map, o},
             {render, map, o, png, QStringLiteral("--cell"), QStringLiteral("40")},
             {render, map, o, png, QStringLiteral("--cell"), QStringLiteral("0x30")},
             {render, map, o, png, QStringLiteral("--cell=40x30x2")},
             {render, map, o, png, QStringLiteral("--scale")},
             {render, map, map, o, png},
             {QStringLiteral("draw"), map},
         }) {
        EXPECT_EQ(run(arguments), 2) << arguments.join(u' ').toStdString();
        EXPECT_TRUE(err.contains(QStringLiteral("用法"))) << arguments.join(u' ').toStdString();
        EXPECT_TRUE(out.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(png));

    EXPECT_EQ(run({QStringLiteral("--help")}), 0);
    EXPECT_TRUE(out.contains(QStringLiteral("tessera render")));
    EXPECT_EQ(run({render, QStringLiteral("--help")}), 0);
    EXPECT_TRUE(out.contains(QStringLiteral("--cell")));
    EXPECT_TRUE(err.isEmpty());

    // A map that cannot be read, a picture given as the map, an output that cannot be written.
    EXPECT_EQ(run({render, path("none.tlp"), o, png}), 1);
    EXPECT_EQ(run({render, path("red.jpg"), o, png}), 1);
    EXPECT_EQ(run({render, map, o, path("red.jpg/out.png")}), 1);
    EXPECT_FALSE(err.isEmpty());
    EXPECT_FALSE(QFile::exists(png));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3) << "red, blue, map";
}

}  // namespace
