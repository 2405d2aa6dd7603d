// The example maps of Debian's tiled package: every orthogonal one with a tile layer imports
// (spritesheets, margins, spacing, a transparent colour, flipped tiles, gzip-compressed files) and
// `tessera render` draws that layer as Tiled's own rasterizer does; the others are refused with
// their reason.
#include "tmx/ProgramRuns.h"

#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tessera::testing_support;

namespace {

QString attributeOf(const QString& element, const char* name)
{
    return QRegularExpression(QStringLiteral("\\b%1=\"([^\"]*)\"").arg(QLatin1String(name))).match(element).captured(1);
}

}  // namespace

TEST(TiledExamplesTest, EveryOrthogonalExampleImportsAndRendersAsTiledDoes)
{
    const QString rasterizer = QStandardPaths::findExecutable(QStringLiteral("tmxrasterizer"));
    const QString examples = QStringLiteral("/usr/share/doc/tiled/examples");
    if (rasterizer.isEmpty() || !QFileInfo(examples).isDir())
        GTEST_SKIP() << "Debian's tiled package (installed by scripts/setup) is missing";
    // A copy, its compressed maps inflated beside them (the rasterizer reads plain files only).
    QTemporaryDir dir;
    QString err;
    ASSERT_EQ(runProgram(QStringLiteral("cp"), {QStringLiteral("-r"), examples, dir.filePath(QStringLiteral("e"))}, err), 0);
    QStringList maps;
    for (QDirIterator it(dir.filePath(QStringLiteral("e")), {QStringLiteral("*.tmx"), QStringLiteral("*.tmx.gz")}, QDir::Files,
                         QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString map = it.next();
        const bool packed = map.endsWith(QStringLiteral(".gz"));
        EXPECT_TRUE(!packed || runProgram(QStringLiteral("gzip"), {QStringLiteral("-dk"), map}, err) == 0);
        maps << (packed ? map.chopped(3) : map);
    }
    ASSERT_GE(maps.size(), 17);
    int compared = 0;
    for (const QString& map : maps) {
        SCOPED_TRACE(map.toStdString());
        QFile file(map);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        const QString root = QRegularExpression(QStringLiteral("<map [^>]*>")).match(text).captured();
        const QSize tile(attributeOf(root, "tilewidth").toInt(), attributeOf(root, "tileheight").toInt());
        const QSize size(attributeOf(root, "width").toInt(), attributeOf(root, "height").toInt());
        QString layer;  // the first visible one
        for (const QRegularExpressionMatch& m : QRegularExpression(QStringLiteral("<layer [^>]*>")).globalMatch(text))
            if (layer.isEmpty() && attributeOf(m.captured(), "visible") != u"0")
                layer = attributeOf(m.captured(), "name");
        const QString name = QFileInfo(map).completeBaseName(), ours = dir.filePath(name + QStringLiteral(".png"));
        const int status = runProgram(QStringLiteral(TESSERA_BINARY),
                                      {QStringLiteral("render"), map, QStringLiteral("--cell"),
                                       QStringLiteral("%1x%2").arg(tile.width()).arg(tile.height()), QStringLiteral("--tiles"),
                                       dir.filePath(QStringLiteral("tiles/") + name), QStringLiteral("-o"), ours},
                                      err);
        const QString orientation = attributeOf(root, "orientation");
        const QString refusal = orientation != u"orthogonal"              ? orientation
                                : attributeOf(root, "infinite") == u"1" ? QStringLiteral("无限")
                                : layer.isEmpty()                         ? QStringLiteral("没有图块图层")
                                                                          : QString();
        if (!refusal.isEmpty()) {
            EXPECT_TRUE(status == 1 && err.contains(refusal)) << err.toStdString();
            continue;
        }
        ASSERT_EQ(status, 0) << err.toStdString();
        // Its tiles, twice the cell's size and offset, overlap their neighbours: said, not drawn alike.
        if (name == u"perspective_walls") {
            EXPECT_TRUE(err.contains(QStringLiteral("“perspective_walls”（64 × 64）的图块与地图的单元格（31 × 31）大小不同")));
            continue;
        }
        const QString theirs = dir.filePath(name + QStringLiteral(".tiled.png"));
        ASSERT_EQ(runProgram(rasterizer, {QStringLiteral("--show-layer"), layer, map, theirs}, err, true), 0);
        const QImage a = overGrey(QImage(ours)), b = overGrey(QImage(theirs));
        ASSERT_EQ(b.size(), QSize(size.width() * tile.width(), size.height() * tile.height()));
        ASSERT_TRUE(a.width() >= b.width() && a.height() >= b.height());
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                EXPECT_LE(meanDifference(a, b, QRect(QPoint(x * tile.width(), y * tile.height()), tile)), 1.0)
                    << "cell " << x << ", " << y;
        ++compared;
    }
    EXPECT_GE(compared, 14);
    // Flipped tiles were met, and written as pictures of their own.
    QDirIterator flipped(dir.filePath(QStringLiteral("tiles")), {QStringLiteral("*-*-[hvd]*.png")}, QDir::Files,
                         QDirIterator::Subdirectories);
    EXPECT_TRUE(flipped.hasNext());
}
