// The example maps of Debian's tiled package, made by Tiled's own users: every orthogonal one with a
// tile layer imports (spritesheets, margins, spacing, a transparent colour, flipped tiles,
// gzip-compressed files), and `tessera render` draws that layer as Tiled's own rasterizer does;
// the others are refused with their reason.
#include "tmx/ProgramRuns.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tessera::testing_support;

namespace {

QString attributeOf(const QString& element, const QString& name)
{
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("\\b%1=\"([^\"]*)\"").arg(name)).match(element);
    return m.captured(1);
}

// Copies the examples where the test may write, the compressed maps inflated beside their
// compressed files (Tiled's rasterizer reads plain files only).
QStringList copyExamples(const QString& from, const QString& to)
{
    QStringList maps;
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString copy = to + file.mid(from.size());
        EXPECT_TRUE(QDir().mkpath(QFileInfo(copy).absolutePath()));
        EXPECT_TRUE(QFile::copy(file, copy));
        if (copy.endsWith(QStringLiteral(".tmx.gz"))) {
            QString ignored;
            EXPECT_EQ(runProgram(QStringLiteral("gzip"), {QStringLiteral("-dk"), copy}, ignored), 0);
            maps << copy.chopped(3);
        } else if (copy.endsWith(QStringLiteral(".tmx"))) {
            maps << copy;
        }
    }
    maps.sort();
    return maps;
}

}  // namespace

TEST(TiledExamplesTest, EveryOrthogonalExampleImportsAndRendersAsTiledDoes)
{
    const QString rasterizer = QStandardPaths::findExecutable(QStringLiteral("tmxrasterizer"));
    const QString examples = QStringLiteral("/usr/share/doc/tiled/examples");
    if (rasterizer.isEmpty() || !QFileInfo(examples).isDir())
        GTEST_SKIP() << "Debian's tiled package (installed by scripts/setup) is missing";
    QTemporaryDir dir;
    const QStringList maps = copyExamples(examples, dir.filePath(QStringLiteral("examples")));
    ASSERT_GE(maps.size(), 17);
    int compared = 0;
    for (const QString& map : maps) {
        SCOPED_TRACE(map.toStdString());
        QFile file(map);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        const QString root = QRegularExpression(QStringLiteral("<map [^>]*>")).match(text).captured();
        const QSize tile(attributeOf(root, QStringLiteral("tilewidth")).toInt(),
                         attributeOf(root, QStringLiteral("tileheight")).toInt());
        const QSize size(attributeOf(root, QStringLiteral("width")).toInt(), attributeOf(root, QStringLiteral("height")).toInt());
        QString layer;
        for (const QRegularExpressionMatch& m : QRegularExpression(QStringLiteral("<layer [^>]*>")).globalMatch(text))
            if (layer.isEmpty() && attributeOf(m.captured(), QStringLiteral("visible")) != u"0")
                layer = attributeOf(m.captured(), QStringLiteral("name"));
        const QString name = QFileInfo(map).completeBaseName();
        const QString ours = dir.filePath(name + QStringLiteral(".png"));
        QString err;
        const int status = runProgram(QStringLiteral(TESSERA_BINARY),
                                      {QStringLiteral("render"), map, QStringLiteral("--cell"),
                                       QStringLiteral("%1x%2").arg(tile.width()).arg(tile.height()), QStringLiteral("--tiles"),
                                       dir.filePath(QStringLiteral("tiles/") + name), QStringLiteral("-o"), ours},
                                      err);
        const QString orientation = attributeOf(root, QStringLiteral("orientation"));
        if (orientation != u"orthogonal" || attributeOf(root, QStringLiteral("infinite")) == u"1") {
            EXPECT_EQ(status, 1);
            EXPECT_TRUE(err.contains(orientation != u"orthogonal" ? orientation : QStringLiteral("无限"))) << err.toStdString();
            continue;
        }
        if (layer.isEmpty()) {
            EXPECT_EQ(status, 1);
            EXPECT_TRUE(err.contains(QStringLiteral("没有图块图层"))) << err.toStdString();
            continue;
        }
        ASSERT_EQ(status, 0) << err.toStdString();
        // Its tiles, twice the cell's size and offset, overlap their neighbours: said, not drawn alike.
        if (name == u"perspective_walls") {
            EXPECT_TRUE(err.contains(QStringLiteral("“perspective_walls”（64 × 64）的图块与地图的单元格（31 × 31）大小不同")))
                << err.toStdString();
            continue;
        }
        const QString theirs = dir.filePath(name + QStringLiteral(".tiled.png"));
        ASSERT_EQ(runProgram(rasterizer, {QStringLiteral("--show-layer"), layer, map, theirs}, err, true), 0)
            << err.toStdString();
        const QImage a = overGrey(QImage(ours)), b = overGrey(QImage(theirs));
        ASSERT_EQ(b.size(), QSize(size.width() * tile.width(), size.height() * tile.height()));
        ASSERT_GE(a.width(), b.width());
        ASSERT_GE(a.height(), b.height());
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                EXPECT_LE(meanDifference(a, b, QRect(QPoint(x * tile.width(), y * tile.height()), tile)), 1.0)
                    << "cell " << x << ", " << y;
        ++compared;
    }
    EXPECT_GE(compared, 14);
    // Flipped tiles were met and written as pictures of their own.
    int flipped = 0;
    for (QDirIterator it(dir.filePath(QStringLiteral("tiles")), {QStringLiteral("*-*-[hvd]*.png")}, QDir::Files,
                         QDirIterator::Subdirectories);
         it.hasNext(); it.next())
        ++flipped;
    EXPECT_GT(flipped, 0);
}
