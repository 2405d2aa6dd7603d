// The real `tessera render` of maps of huge tiles, in a process of its own: its peak memory.
#include "support/TestImages.h"
#include "support/HugeTiles.h"

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tessera;
using namespace testcolors;

namespace {

// Renders the 5 × 5 map of `tiles` to `picture` at 40 × 30; the peak memory in MB, -1 on failure.
double renderPeakMb(const QTemporaryDir& dir, const QStringList& tiles, const QString& picture)
{
    const QString map = dir.filePath(QStringLiteral("map.tlp"));
    if (!writeFiveByFiveMap(map, tiles))
        return -1;
    return peakMbOf(QStringLiteral(TESSERA_BINARY), {QStringLiteral("render"), map, QStringLiteral("-o"), picture});
}

}  // namespace

TEST(RenderMemory, HugeTilesAreDecodedOneAtATimeWithinAGigabyte)
{
    QTemporaryDir dir;
    const QStringList jpegs = writeHugeJpegs(dir.filePath(QStringLiteral("jpegs")), 16);
    ASSERT_EQ(jpegs.size(), 16);
    const QString png = dir.filePath(QStringLiteral("huge.png"));
    ASSERT_TRUE(writeHugePng(png, qRgba(kRed.red(), kRed.green(), kRed.blue(), 128), kBlue.rgb()));

    // The same map with only the PNG and one JPEG: what the largest tile alone takes.
    const double alone = renderPeakMb(dir, {png, jpegs[0]}, dir.filePath(QStringLiteral("alone.png")));
    const QString out = dir.filePath(QStringLiteral("all.png"));
    const double all = renderPeakMb(dir, QStringList{png} + jpegs, out);
    ASSERT_GT(alone, 0);
    ASSERT_GT(all, 0);
#ifndef __SANITIZE_ADDRESS__  // AddressSanitizer keeps freed blocks in quarantine: peaks are its own
    EXPECT_LE(all, alone + 64) << "16 huge tiles took " << all << " MB, one " << alone << " MB";
    EXPECT_LE(all, 1024);
#endif

    // Every tile is drawn; the PNG keeps its clear quarter, its half-clear band and its opaque rest.
    const QImage picture(out);
    ASSERT_EQ(picture.size(), QSize(200, 150));
    EXPECT_EQ(qAlpha(picture.pixel(4, 15)), 0);
    EXPECT_NEAR(qAlpha(picture.pixel(15, 15)), 128, 1);
    EXPECT_TRUE(near(picture.pixel(15, 15), kRed, 2));
    EXPECT_TRUE(near(picture.pixel(34, 15), kBlue, 2));
    for (int k = 1; k <= 16; ++k)
        EXPECT_EQ(qAlpha(picture.pixel(k % 5 * 40 + 20, k / 5 * 30 + 15)), 255) << "tile " << k;
}
