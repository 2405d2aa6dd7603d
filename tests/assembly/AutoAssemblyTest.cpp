#include "files/Progress.h"
#include "support/SliceMapGenerator.h"
#include "assembly/AssemblyGridGuess.h"
#include "assembly/AssemblyReport.h"
#include "assembly/AutoAssembly.h"

#include <QDir>
#include <QImage>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Counts the steps of a run against its maximum.
struct Counted final : Progress {
    void start(std::int64_t steps) override { maximum = steps, done = 0; }
    void advance(std::int64_t steps) override { done += steps; }
    bool cancelled() const override { return false; }
    std::int64_t maximum = 0;
    std::int64_t done = 0;
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
        ASSERT_TRUE(input.ok()) << failureMessage(input.failure()).toStdString();
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

// References as users get them: whatever goes wrong is marked doubtful, and most right placements
// are not.
TEST_F(AutoAssemblyTest, EveryWrongPlacementOfAnAlteredReferenceIsDoubtful)
{
    for (const ReferenceCase& c : referenceCases(10, 10)) {
        SCOPED_TRACE(c.name);
        const GeneratedMap map = generate(c.name, c.options);
        // The progress ends full, however often the frame was looked for, and never beyond.
        Counted progress;
        const AssemblyResult result = assembleMap(read(map.referencePath, map.sliceFolder), {10, 10}, progress);
        ASSERT_TRUE(result.ok());
        EXPECT_GT(progress.maximum, 0);
        EXPECT_EQ(progress.done, progress.maximum);
        const AssemblyTally tally = tallyAssembly(map, result);
        EXPECT_EQ(tally.placements, 100);
        EXPECT_EQ(tally.wrongSure, 0);
        EXPECT_GE(tally.rightSurePct(), 90.0);
        EXPECT_GE(tally.rightPct(), 95.0);
        for (const AssemblyPlacement& p : result.placements) {
            EXPECT_EQ(p.doubtful(), p.confidence < kDoubtfulConfidence);
            EXPECT_EQ(p.doubtful(), !doubtReason(p).isEmpty());
            if (p.doubt == DoubtKind::LikeAnotherCell) {
                EXPECT_NE(std::pair(p.otherRow, p.otherColumn), std::pair(p.row, p.column));
                // Doubt is never one-sided: the cell it cannot be told from is doubtful too.
                for (const AssemblyPlacement& q : result.placements) {
                    if (q.row == p.otherRow && q.column == p.otherColumn) {
                        EXPECT_TRUE(q.doubtful()) << q.row << "," << q.column;
                    }
                }
            }
        }
    }
}

// Cut by 5 % on the left and 3 % on top, then 3 % wider: on a 16 × 16 map the whole picture lies
// near a lattice a cell off, so the first matching is wrong over most of the map and the frame is
// looked for without it. What is left of the cut column fits slices by chance: never sure.
TEST_F(AutoAssemblyTest, AReferenceCutOnTwoSidesAndStretchedFindsItsFrameWithoutTheFirstMatching)
{
    SliceMapOptions options;
    for (const ReferenceCase& c : referenceCases(16, 16))
        if (QLatin1String(c.name) == QLatin1String("crop5stretch3"))
            options = c.options;
    ASSERT_EQ(options.rows, 16);
    SliceMapOptions taller = options;  // cut on the left only, then 3 % higher
    taller.cropTop = 0;
    taller.stretch = 1;
    taller.stretchHeight = 1.03;
    taller.seed = 301;
    for (const SliceMapOptions& o : {options, taller}) {
        SCOPED_TRACE(o.seed);
        const GeneratedMap map = generate(qPrintable(QStringLiteral("cut%1").arg(o.seed)), o);
        const AssemblyInput input = read(map.referencePath, map.sliceFolder);
        const AssemblyResult result = assemble(input, {16, 16});
        ASSERT_TRUE(result.ok());
        const AssemblyTally tally = tallyAssembly(map, result);
        EXPECT_GE(tally.rightPct(), 99.0);
        EXPECT_EQ(tally.wrongSure, 0);
        for (const AssemblyPlacement& p : result.placements)
            if (p.column == 1) {
                EXPECT_EQ(p.doubt, DoubtKind::OutsideReference) << p.row;
            }
        // The frame reaches beyond the cut sides by what was cut, and ends at the others.
        const QSize picture = input.referenceSize();
        const double uncutWidth = picture.width() / (1 - o.cropLeft) / o.stretch;
        const double uncutHeight = picture.height() / (1 - o.cropTop) / o.stretchHeight;
        EXPECT_NEAR(result.frame.left(), -o.cropLeft * uncutWidth * o.stretch, 0.01 * picture.width());
        EXPECT_NEAR(result.frame.top(), -o.cropTop * uncutHeight * o.stretchHeight, 0.01 * picture.height());
        EXPECT_NEAR(result.frame.right(), picture.width(), 0.01 * picture.width());
        EXPECT_NEAR(result.frame.bottom(), picture.height(), 0.01 * picture.height());
    }
}

TEST_F(AutoAssemblyTest, ReadsPngAndBmpSlicesAPngReferenceReducedAndAReferenceAmongTheSlices)
{
    SliceMapOptions options;
    options.rows = 3;
    options.columns = 4;
    options.referenceScale = 4;
    const GeneratedMap map = generate("map", options);
    const QString png = dir.filePath(QStringLiteral("reference.png"));
    ASSERT_TRUE(QImage(map.referencePath).save(png, "PNG"));
    const AssemblyInput input = read(png, map.sliceFolder);
    ASSERT_TRUE(input.ok()) << failureMessage(input.failure()).toStdString();
    EXPECT_EQ(input.referenceSize(), QSize(400, 225));
    const AssemblyResult result = assemble(input, input.proposedGrid());
    EXPECT_EQ(rightPlacements(map, result), 12);

    // A JPEG reference kept among the slices is none of them.
    const QString inside = QDir(map.sliceFolder).filePath(QStringLiteral("whole.jpg"));
    ASSERT_TRUE(QFile::copy(map.referencePath, inside));
    const AssemblyInput beside = read(inside, map.sliceFolder);
    ASSERT_TRUE(beside.ok()) << failureMessage(beside.failure()).toStdString();
    EXPECT_EQ(beside.sliceCount(), 12);
    ASSERT_TRUE(QFile::remove(inside));

    // Slices kept as PNG and BMP are read as well, by the canvas's decoder.
    GeneratedMap mixed = map;
    for (std::size_t i = 0; i < 8; ++i) {
        GeneratedSlice& s = mixed.slices[i];
        const QString other = QFileInfo(s.path).path() + QLatin1Char('/') + QFileInfo(s.path).completeBaseName()
            + (i < 4 ? QStringLiteral(".png") : QStringLiteral(".BMP"));
        ASSERT_TRUE(QImage(s.path).save(other, i < 4 ? "PNG" : "BMP"));
        ASSERT_TRUE(QFile::remove(s.path));
        s.path = other;
    }
    const AssemblyInput pictures = read(map.referencePath, map.sliceFolder);
    ASSERT_TRUE(pictures.ok()) << failureMessage(pictures.failure()).toStdString();
    EXPECT_EQ(pictures.sliceCount(), 12);
    EXPECT_EQ(pictures.sliceSize(), QSize(400, 300));
    EXPECT_EQ(rightPlacements(mixed, assemble(pictures, pictures.proposedGrid())), 12);
}

namespace {

// A slice of `map` that no other slice of `others` resembles (not open sea).
QString distinctSlice(const GeneratedMap& map, const GeneratedMap& others)
{
    for (const GeneratedSlice& s : map.slices) {
        bool unique = true;
        for (const GeneratedSlice& o : others.slices)
            if (o.path != s.path && meanAbsoluteDifference(s.path, o.path) < 3) {
                unique = false;
                break;
            }
        if (unique)
            return s.path;
    }
    return {};
}

const GeneratedSlice* sliceAt(const GeneratedMap& map, const QString& path)
{
    for (const GeneratedSlice& s : map.slices)
        if (s.path == path)
            return &s;
    return nullptr;
}

class StopAfter final : public Progress {
public:
    explicit StopAfter(std::int64_t steps) : steps_(steps) {}
    void start(std::int64_t) override {}
    void advance(std::int64_t steps) override { done_ += steps; }
    bool cancelled() const override { return done_ >= steps_; }

private:
    std::int64_t steps_;
    std::int64_t done_ = 0;
};

}  // namespace

TEST_F(AutoAssemblyTest, AMissingSliceLeavesItsCellEmptyAndAForeignSliceIsLeftOver)
{
    SliceMapOptions options;
    options.rows = 7;
    options.columns = 8;
    const GeneratedMap map = generate("map", options);
    options.seed = 99;
    const GeneratedMap other = generate("other", options);

    const QString missing = distinctSlice(map, map);
    ASSERT_FALSE(missing.isEmpty());
    const GeneratedSlice* cell = sliceAt(map, missing);
    QFile::rename(missing, dir.filePath(QStringLiteral("missing.jpg")));
    AssemblyResult result = assemble(read(map.referencePath, map.sliceFolder), {7, 8});
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.placements.size(), 55u);
    EXPECT_EQ(rightPlacements(map, result), 55);
    const CellTexts cells = result.cells(9);
    EXPECT_TRUE(cells[static_cast<std::size_t>((cell->row - 1) * 9 + cell->column - 1)].isEmpty());
    EXPECT_EQ(std::count_if(cells.begin(), cells.end(), [](const QString& t) { return !t.isEmpty(); }), 55);
    QFile::rename(dir.filePath(QStringLiteral("missing.jpg")), missing);

    const QString foreign = distinctSlice(other, map);
    ASSERT_FALSE(foreign.isEmpty());
    const QString extra = QDir(map.sliceFolder).filePath(QStringLiteral("extra.jpg"));
    ASSERT_TRUE(QFile::copy(foreign, extra));
    const AssemblyInput input = read(map.referencePath, map.sliceFolder);
    EXPECT_EQ(input.proposedGrid().rows, 7);
    EXPECT_EQ(input.proposedGrid().columns, 8);
    result = assemble(input, input.proposedGrid());
    EXPECT_EQ(result.unplaced, QStringList{extra});
    EXPECT_EQ(rightPlacements(map, result), 56);
}

TEST_F(AutoAssemblyTest, AReferenceOfAnotherMapLeavesEveryPlacementDoubtful)
{
    SliceMapOptions options;
    options.rows = 8;
    options.columns = 8;
    const GeneratedMap map = generate("map", options);
    options.seed = 5;
    const GeneratedMap other = generate("other", options);
    const AssemblyResult result = assemble(read(other.referencePath, map.sliceFolder), {8, 8});
    ASSERT_TRUE(result.ok());
    ASSERT_EQ(result.placements.size(), 64u);
    EXPECT_EQ(result.doubtfulCount, 64);
    EXPECT_TRUE(std::is_sorted(result.placements.begin(), result.placements.end(),
                               [](const AssemblyPlacement& a, const AssemblyPlacement& b) { return a.confidence < b.confidence; }));

    // A map's own reference turned upside down looks alike overall: the same land, sea and
    // colours, and smooth regions that fit many places a little.
    options.rows = 20;
    options.columns = 20;
    options.referenceScale = 7;
    const GeneratedMap large = generate("large", options);
    const QString turned = dir.filePath(QStringLiteral("turned.jpg"));
    ASSERT_TRUE(QImage(large.referencePath).mirrored(true, true).save(turned, "JPG", 75));
    EXPECT_EQ(assemble(read(turned, large.sliceFolder), {20, 20}).doubtfulCount, 400);
}

TEST_F(AutoAssemblyTest, RefusesSlicesOfMixedSizesMissingInputsAndStopsWhenCancelled)
{
    SliceMapOptions options;
    options.rows = 3;
    options.columns = 4;
    const GeneratedMap map = generate("map", options);
    const QString first = map.slices.front().path;

    // No picture for a reference; a folder whose only JPEG is no picture; no folder.
    const QString notes = dir.filePath(QStringLiteral("notes.jpg"));
    QFile file(notes);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a picture");
    file.close();
    // Each failure names its kind and the file or folder.
    using Named = std::pair<FailureKind, QStringList>;
    const auto named = [](const Failure& failure) { return Named(failure.kind, failure.files); };
    const QString none = dir.filePath(QStringLiteral("none.png")), nowhere = dir.filePath(QStringLiteral("nowhere"));
    EXPECT_EQ(named(read(notes, map.sliceFolder).failure()), Named(FailureKind::ReferenceUnreadable, {notes}));
    EXPECT_EQ(named(read(none, map.sliceFolder).failure()), Named(FailureKind::ReferenceUnreadable, {none}));
    EXPECT_EQ(named(read(map.referencePath, dir.path()).failure()), Named(FailureKind::SliceUnreadable, {notes}));
    EXPECT_EQ(named(read(map.referencePath, nowhere).failure()), Named(FailureKind::SliceFolderMissing, {nowhere}));
    EXPECT_EQ(assemble(read(notes, map.sliceFolder), {3, 4}).failure.kind, FailureKind::ReferenceUnreadable);

    // Stopped while reading the slices, or while matching them.
    StopAfter early(2);
    EXPECT_EQ(readAssemblyInput(map.referencePath, map.sliceFolder, early).failure().kind, FailureKind::Cancelled);
    const AssemblyInput input = read(map.referencePath, map.sliceFolder);
    ASSERT_TRUE(input.ok());
    // Far more cells than slices.
    const Failure tooMany = assemble(input, {100, 100}).failure;
    EXPECT_EQ(tooMany.kind, FailureKind::GridTooLarge);
    EXPECT_EQ(tooMany.figures, QList<qint64>({100, 100, 12}));
    StopAfter late(4);
    const AssemblyResult stopped = assembleMap(input, {3, 4}, late);
    EXPECT_EQ(stopped.failure.kind, FailureKind::Cancelled);
    EXPECT_TRUE(stopped.placements.empty());

    // Two slices of another size cannot be the corner of the map.
    for (const char* name : {"small1.jpg", "small2.jpg"}) {
        QImage small(200, 100, QImage::Format_RGB32);
        small.fill(Qt::darkGreen);
        ASSERT_TRUE(small.save(QDir(map.sliceFolder).filePath(QString::fromLatin1(name)), "JPG"));
    }
    const QString failure = failureMessage(read(map.referencePath, map.sliceFolder).failure());
    EXPECT_TRUE(failure.startsWith(QStringLiteral("切片大小不一致："))) << failure.toStdString();
    EXPECT_TRUE(failure.contains(QStringLiteral("400 × 300"))) << failure.toStdString();
    EXPECT_TRUE(failure.contains(QStringLiteral("small1.jpg 为 200 × 100"))) << failure.toStdString();
}

TEST_F(AutoAssemblyTest, SaysThatAnUnreadableSliceFolderCannotBeRead)
{
    SliceMapOptions options;
    options.rows = 2;
    options.columns = 2;
    const GeneratedMap map = generate("map", options);
    // Read by an ordinary user: root lists any folder.
    for (const QString& path : {dir.path(), QFileInfo(map.referencePath).path()})
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(map.sliceFolder).constData(), 0), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        NullProgress progress;
        const QString failure = failureMessage(readAssemblyInput(map.referencePath, map.sliceFolder, progress).failure());
        ::_exit(failure.contains(QStringLiteral("没有读取权限")) && failure.contains(map.sliceFolder) ? 0 : 1);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    ::chmod(QFile::encodeName(map.sliceFolder).constData(), 0755);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(AssemblyGridTest, TheNarrowSlicesCountTheRowsAndColumns)
{
    auto guess = [](const std::vector<QSize>& sizes) {
        QStringList names;
        for (std::size_t i = 0; i < sizes.size(); ++i)
            names << QStringLiteral("%1.jpg").arg(i);
        const SliceShapes shapes = classifySlices(sizes, names);
        EXPECT_TRUE(shapes.failure.ok()) << failureMessage(shapes.failure).toStdString();
        const AssemblyGrid grid = guessGrid(shapes, QSize());
        return std::pair(grid.rows, grid.columns);
    };
    const QSize full(400, 300), narrow(200, 300), low(400, 100), corner(200, 100);
    // Without the reference's shape, 3 × 2 and 2 × 3 hold six slices alike.
    EXPECT_EQ(guess({full, full, full, narrow, narrow, narrow}), std::pair(3, 2));
    EXPECT_EQ(guess({full, full, full, low, low, low}), std::pair(2, 3));
    EXPECT_EQ(guess({full, full, full, full, narrow, narrow, low, low, corner}), std::pair(3, 3));
}
