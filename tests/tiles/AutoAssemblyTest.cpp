#include "gui/Progress.h"
#include "testkit/SliceMapGenerator.h"
#include "tiles/AutoAssembly.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tessera;

namespace {

class AutoAssemblyTest : public ::testing::Test {
protected:
    GeneratedMap generate(const char* name, const SliceMapOptions& options)
    {
        GeneratedMap map = generateSliceMap(dir.filePath(QString::fromLatin1(name)), options);
        EXPECT_TRUE(map.ok());
        return map;
    }
    AssemblyInput read(const QString& reference, const QString& slices)
    {
        NullProgress progress;
        return readAssemblyInput(reference, slices, progress);
    }
    AssemblyResult assemble(const AssemblyInput& input, AssemblyGrid grid)
    {
        NullProgress progress;
        return assembleMap(input, grid, progress);
    }

    QTemporaryDir dir;
};

struct Layout {
    int rows, columns, scale;
    int lastColumnWidth = 0;
    int lastRowHeight = 0;
};

}  // namespace

TEST_F(AutoAssemblyTest, PlacesEverySliceOfGeneratedMapsAndGuessesTheirGrid)
{
    const Layout layouts[] = {{3, 4, 6}, {8, 8, 12}, {12, 9, 25}, {5, 7, 12, 150}, {6, 5, 25, 0, 120}, {4, 6, 6, 220, 90}};
    quint32 seed = 11;
    for (const Layout& l : layouts) {
        SCOPED_TRACE(testing::Message() << l.rows << " x " << l.columns << " at 1/" << l.scale);
        SliceMapOptions options;
        options.rows = l.rows;
        options.columns = l.columns;
        options.referenceScale = l.scale;
        options.lastColumnWidth = l.lastColumnWidth;
        options.lastRowHeight = l.lastRowHeight;
        options.seed = ++seed;
        const GeneratedMap map = generate(qPrintable(QString::number(seed)), options);
        const AssemblyInput input = read(map.referencePath, map.sliceFolder);
        ASSERT_TRUE(input.ok()) << input.failure().toStdString();
        EXPECT_EQ(input.proposedGrid().rows, l.rows);
        EXPECT_EQ(input.proposedGrid().columns, l.columns);
        EXPECT_EQ(input.sliceSize(), QSize(400, 300));
        const AssemblyResult result = assemble(input, {l.rows, l.columns});
        ASSERT_TRUE(result.ok());
        EXPECT_EQ(static_cast<int>(result.placements.size()), l.rows * l.columns);
        EXPECT_EQ(rightPlacements(map, result), l.rows * l.columns);
        EXPECT_TRUE(result.unplaced.isEmpty());
        EXPECT_LE(result.doubtfulCount, 1);
    }
}
