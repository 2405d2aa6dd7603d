// 自动拼图 from the 功能 menu, and `tessera assemble`, on generated maps.
#include "app/AutoAssemblyCommand.h"
#include "cli/CommandLine.h"
#include "app/MainWindow.h"
#include "document/MapDocument.h"
#include "app/ResultWindow.h"
#include "app/StatusBar.h"
#include "canvas/Canvas.h"
#include "canvas/CanvasWidgets.h"
#include "work/LongWork.h"
#include "support/MapEdits.h"
#include "support/ScriptedPlatform.h"
#include "model/MapPathFile.h"
#include "support/SliceMapGenerator.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tessera;
using Kind = ScriptedPlatform::DialogKind;

namespace {

// Made once: a generated 3 × 4 map, and a 4 × 3 one whose reference shows none of its slices.
struct Maps {
    QTemporaryDir dir;
    GeneratedMap map;
    GeneratedMap other;
    Maps()
    {
        SliceMapOptions options;
        options.rows = 3;
        options.columns = 4;
        options.referenceScale = 8;
        map = generateSliceMap(dir.filePath(QStringLiteral("map")), options);
        options.rows = 4;
        options.columns = 3;
        options.seed = 977;
        other = generateSliceMap(dir.filePath(QStringLiteral("other")), options);
        QDir(dir.path()).mkdir(QStringLiteral("empty"));
    }
};

class AutoAssemblyFlowTest : public testing::Test {
protected:
    static void SetUpTestSuite() { maps = new Maps; }
    static void TearDownTestSuite()
    {
        delete maps;
        maps = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(maps->map.ok());
        ASSERT_TRUE(maps->other.ok());
    }

    static const GeneratedMap& map() { return maps->map; }
    static QString emptyFolder() { return maps->dir.filePath(QStringLiteral("empty")); }
    static QString temp(const QString& name) { return maps->dir.filePath(name); }

    // A new map of `size` in `window`, with one tile already placed when `taken`.
    static void newMap(MainWindow& window, ScriptedPlatform& platform, int size, bool taken)
    {
        platform.answerYes();
        platform.answerInput(QString::number(size));
        window.newMap();
        if (taken)
            setCell(window.document(), 1, 1, map().slices.front().path);
        platform.clearShown();
    }
    static void trigger(MainWindow& window)
    {
        window.findChild<QAction*>(QStringLiteral("AutoAssembleCommand"))->trigger();
        window.waitForWork();
    }
    // Every generated slice in its cell and every other cell of the map empty.
    static void expectAssembled(const CellTexts& cells, int mapSize)
    {
        ASSERT_EQ(cells.size(), std::size_t(mapSize) * mapSize);
        CellTexts expected(cells.size());
        for (const GeneratedSlice& s : map().slices)
            expected[std::size_t((s.row - 1) * mapSize + s.column - 1)] = s.path;
        for (std::size_t i = 0; i < cells.size(); ++i)
            EXPECT_EQ(cells[i], expected[i]) << "cell " << i / mapSize + 1 << "," << i % mapSize + 1;
    }
    // The dialogs shown, as "kind:text".
    static QStringList dialogs(const ScriptedPlatform& platform)
    {
        QStringList seen;
        for (const ScriptedPlatform::Shown& s : platform.shown())
            seen << dialog(s.kind, s.text);
        return seen;
    }
    static QString dialog(Kind kind, const QString& text) { return QStringLiteral("%1:%2").arg(int(kind)).arg(text); }
    static QString resultText()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == u"ResultWindow")
                return w->findChild<QPlainTextEdit*>(QStringLiteral("ResultText"))->toPlainText();
        }
        return {};
    }

    int run(const QStringList& arguments)
    {
        out.clear();
        err.clear();
        QTextStream o(&out), e(&err);
        return runCommand(arguments, o, e);
    }

    static Maps* maps;
    QString out, err;
};

Maps* AutoAssemblyFlowTest::maps = nullptr;

TEST_F(AutoAssemblyFlowTest, MenuFillsTheMapFromTheLoadedPictureAfterItsQuestions)
{
    ScriptedPlatform platform;
    MapDocument mapDocument(platform);
    MainWindow window(platform, mapDocument);
    auto* assemble = window.findChild<QAction*>(QStringLiteral("AutoAssembleCommand"));
    ASSERT_NE(assemble, nullptr);
    const QList<QAction*> functions = window.findChild<QMenu*>(QStringLiteral("FunctionMenu"))->actions();
    ASSERT_EQ(functions.size(), 4);
    EXPECT_EQ(functions[1]->objectName(), QStringLiteral("ExportMapPictureCommand"));
    EXPECT_EQ(functions[2], assemble);
    EXPECT_EQ(assemble->text(), QStringLiteral("自动拼图…"));
    EXPECT_FALSE(assemble->isEnabled());

    newMap(window, platform, 2, true);
    EXPECT_TRUE(assemble->isEnabled());
    // The picture loaded into the map picture box is the reference: no file is asked for.
    platform.answerOpen(map().referencePath);
    window.findChild<QPushButton*>(QStringLiteral("LoadMapPictureButton"))->click();
    platform.clearShown();

    // Growing the map makes it anew, as New map does: the editing state starts over.
    window.editing().tileHeight = 16;
    window.document().history().changeCells(MapCommandKind::Place, {{1, 1, QString(), QStringLiteral("/a.jpg")}});
    int resized = 0, replaced = 0;
    QObject::connect(&window.document(), &MapDocument::mapResized, [&] { ++resized; });
    QObject::connect(&window.document(), &MapDocument::mapReplaced, [&] { ++replaced; });

    platform.answerFolder(map().sliceFolder);
    platform.answerNumbers(3, 4);
    platform.answerYes();  // overwrite
    platform.answerYes();  // grow
    const auto& before = window.document().grid().cells();
    const auto taken = std::count_if(before.begin(), before.end(), [](const QString& c) { return !c.isEmpty(); });
    ASSERT_GT(taken, 0);
    // While it reads and while it matches, the status bar says so and the commands that would
    // change the map are disabled rather than waiting unseen.
    auto* status = window.findChild<StatusBar*>();
    ASSERT_NE(status, nullptr);
    const auto changing = [&] {
        bool enabled = window.findChild<QMenu*>(QStringLiteral("EditMenu"))->isEnabled();
        for (const char* role : {"NewMapCommand", "ImportDataCommand", "AutoAssembleCommand"})
            enabled = enabled || window.findChild<QAction*>(QString::fromLatin1(role))->isEnabled();
        return enabled;
    };
    QStringList steps;
    QObject::connect(&window.document().work(), &LongWork::started, &window,
                     [&] { steps << status->panelText(1) + (changing() ? QStringLiteral(" (enabled)") : QString()); });
    trigger(window);
    EXPECT_EQ(steps, (QStringList{QStringLiteral("读取切片…"), QStringLiteral("匹配中…")}));
    EXPECT_TRUE(status->panelText(1).isEmpty());
    EXPECT_TRUE(changing());
    EXPECT_TRUE(window.findChild<QAction*>(QStringLiteral("NewMapCommand"))->isEnabled());

    EXPECT_TRUE(platform.unanswered().isEmpty()) << platform.unanswered().join(u',').toStdString();
    const QList<ScriptedPlatform::Shown>& shown = platform.shown();
    ASSERT_EQ(shown.size(), 5) << dialogs(platform).join(u'\n').toStdString();
    // One question for the grid, headed by what was found: the slices, their size and the
    // reference's.
    const QString question = QStringLiteral("找到 12 个切片（400 × 300 像素），参考图 %1 × %2 像素。\n请确认行数和列数：")
                                 .arg(QImage(map().referencePath).width())
                                 .arg(QImage(map().referencePath).height());
    EXPECT_EQ(dialogs(platform).mid(0, 4),
              (QStringList{dialog(Kind::Folder, QStringLiteral("选择切片所在的文件夹")), dialog(Kind::TwoNumbers, question),
                           dialog(Kind::Message, QStringLiteral("地图上已有的 %1 个图块将被替换，是否覆盖？").arg(taken)),
                           dialog(Kind::Message, QStringLiteral("地图将扩大为 4 × 4，是否继续？"))}));
    // The grid found is offered first.
    EXPECT_EQ(shown[1].title, QStringLiteral("自动拼图"));
    EXPECT_EQ(shown[1].initial, QStringLiteral("3 4"));
    EXPECT_EQ(shown[1].informative, QStringLiteral("行数： 列数："));

    EXPECT_EQ(window.document().grid().mapSize(), 4);
    EXPECT_EQ(std::pair(resized, replaced), std::pair(1, 1));
    EXPECT_EQ(window.editing().tileHeight, 30);
    EXPECT_FALSE(window.document().history().buttonStep());
    expectAssembled(window.document().grid().cells(), 4);
    EXPECT_EQ(window.canvas().canvasWidget()->size(), canvasSize(4));
    for (const GeneratedSlice& s : map().slices)
        EXPECT_TRUE(window.canvas().picture().hasTile(s.row, s.column)) << s.row << "," << s.column;

    // Every placement in the result window, then the summary; the closing box says it too.
    const QStringList lines = resultText().split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1 + 12 + 1) << resultText().toStdString();
    for (const GeneratedSlice& s : map().slices) {
        const QString cell = QStringLiteral("第 %1 行 第 %2 列  %3  置信度 ")
                                 .arg(s.row)
                                 .arg(s.column)
                                 .arg(QFileInfo(s.path).fileName());
        EXPECT_EQ(lines.filter(cell).size(), 1) << cell.toStdString();
    }
    EXPECT_EQ(lines.constLast(), QStringLiteral("已拼合 12 个单元格，存疑 0 个。"));
    EXPECT_EQ(shown[4].text, lines.constLast() + QStringLiteral("\n每个单元格的结果列在“结果”窗口中。"));
    EXPECT_EQ(shown[4].buttons, MessageButtons::OkInfo);
    EXPECT_EQ(window.canvas().markedCells(), 0u);
}

TEST_F(AutoAssemblyFlowTest, AnotherMapsReferenceIsAskedForAndItsDoubtfulCellsComeFirstAndAreFramed)
{
    ScriptedPlatform platform;
    MapDocument mapDocument(platform);
    MainWindow window(platform, mapDocument);
    newMap(window, platform, 5, false);
    platform.answerOpen(maps->other.referencePath);
    platform.answerFolder(map().sliceFolder);
    platform.answerNumbers(3, 4);
    trigger(window);

    // An empty map that holds the grid: neither overwrite nor growth is asked.
    EXPECT_TRUE(platform.unanswered().isEmpty()) << platform.unanswered().join(u',').toStdString();
    ASSERT_EQ(platform.shown().size(), 4) << dialogs(platform).join(u'\n').toStdString();
    EXPECT_EQ(platform.shown()[0].kind, Kind::OpenFile);
    // Titled for what it asks, offering every format the assembly reads.
    EXPECT_TRUE(platform.lastFileDialog().title.contains(QStringLiteral("原大地图")));
    for (const char* pattern : {"*.jpg", "*.jpeg", "*.png", "*.bmp"})
        EXPECT_TRUE(platform.lastFileDialog().filters.contains(QLatin1String(pattern))) << pattern;
    EXPECT_EQ(window.document().grid().mapSize(), 5);

    const QStringList lines = resultText().split(u'\n', Qt::SkipEmptyParts).mid(1, 12);
    ASSERT_EQ(lines.size(), 12);
    const auto doubtful = [](const QString& line) { return line.startsWith(QStringLiteral("存疑")); };
    const int count = static_cast<int>(std::count_if(lines.begin(), lines.end(), doubtful));
    EXPECT_GT(count, 0);
    EXPECT_TRUE(std::is_partitioned(lines.begin(), lines.end(), doubtful)) << lines.join(u'\n').toStdString();
    // A doubtful line says why instead of a low confidence.
    for (const QString& line : lines)
        EXPECT_EQ(line.contains(QStringLiteral("置信度")), !doubtful(line)) << line.toStdString();
    EXPECT_TRUE(platform.shown().constLast().text.contains(QStringLiteral("存疑 %1 个").arg(count)));
    EXPECT_EQ(window.canvas().markedCells(), std::size_t(count));
    // The marks stay over a redraw; a changed cell loses its own, 清除存疑标记 all; a double-click on a
    // doubtful line of the results leads to its cell.
    window.canvas().redrawCanvas();
    EXPECT_EQ(window.canvas().markedCells(), std::size_t(count));
    const std::optional<Cell> first = cellNamedIn(lines.constFirst(), window.document().grid());
    ASSERT_TRUE(first);
    setCell(window.document(), first->row, first->column, QString());
    EXPECT_EQ(window.canvas().markedCells(), std::size_t(count - 1));
    window.findChild<QAction*>(QStringLiteral("ClearDoubtsCommand"))->trigger();
    EXPECT_EQ(window.canvas().markedCells(), 0u);

    // The reference chosen in the dialog shows in the map picture box and is used next time.
    EXPECT_FALSE(window.findChild<QLabel*>(QStringLiteral("MapPictureBox"))->pixmap().isNull());
    platform.clearShown();
    platform.answerCancel(DialogKind::Folder);  // the slice folder
    trigger(window);
    ASSERT_EQ(platform.shown().size(), 1);
    EXPECT_EQ(platform.shown()[0].kind, Kind::Folder);
}

TEST_F(AutoAssemblyFlowTest, TheGridQuestionSaysWhenTheSlicesDoNotFillTheGrid)
{
    // 11 of the 12 slices.
    const QString folder = temp(QStringLiteral("eleven"));
    ASSERT_TRUE(QDir().mkpath(folder));
    for (std::size_t i = 1; i < map().slices.size(); ++i)
        ASSERT_TRUE(QFile::copy(map().slices[i].path, folder + u'/' + QFileInfo(map().slices[i].path).fileName()));
    ScriptedPlatform platform;
    MapDocument mapDocument(platform);
    MainWindow window(platform, mapDocument);
    newMap(window, platform, 5, false);
    platform.answerOpen(map().referencePath);
    platform.answerFolder(folder);
    platform.answerCancel(DialogKind::TwoNumbers);
    trigger(window);
    ASSERT_EQ(platform.shown().size(), 3) << dialogs(platform).join(u'\n').toStdString();
    const ScriptedPlatform::Shown& question = platform.shown()[2];
    EXPECT_EQ(question.kind, Kind::TwoNumbers);
    EXPECT_EQ(question.initial, QStringLiteral("3 4"));
    EXPECT_TRUE(question.text.contains(QStringLiteral("找到 11 个切片（400 × 300 像素）"))) << question.text.toStdString();
    EXPECT_TRUE(question.text.contains(QStringLiteral("\n11 个切片，网格 3 × 4 = 12 格。\n"))) << question.text.toStdString();
    EXPECT_EQ(window.document().grid().cells(), CellTexts(25));
}

TEST_F(AutoAssemblyFlowTest, NoCancelOrAFailureLeavesTheMapAsItWas)
{
    ScriptedPlatform platform;
    MapDocument mapDocument(platform);
    MainWindow window(platform, mapDocument);
    newMap(window, platform, 2, true);
    const CellTexts before = window.document().grid().cells();
    const QString ref = map().referencePath, folder = map().sliceFolder;
    struct Case {
        const char* what;
        std::function<void()> answers;
        int dialogs;
    };
    // The reference chosen once is used from then on: only the first two cases ask for it.
    const Case cases[] = {
        {"no reference", [&] { platform.answerCancel(DialogKind::OpenFile); }, 1},
        {"no folder", [&] { platform.answerOpen(ref), platform.answerCancel(DialogKind::Folder); }, 2},
        {"no grid", [&] { platform.answerFolder(folder), platform.answerCancel(DialogKind::TwoNumbers); }, 2},
        {"no overwrite",
         [&] {
             platform.answerFolder(folder);
             platform.answerNumbers(3, 4);
             platform.answerNo();
         },
         3},
        {"no growth",
         [&] {
             platform.answerFolder(folder);
             platform.answerNumbers(3, 4);
             platform.answerYes();
             platform.answerNo();
         },
         4},
        {"no slices", [&] { platform.answerFolder(emptyFolder()); }, 2},
    };
    for (const Case& c : cases) {
        platform.clearShown();
        c.answers();
        trigger(window);
        EXPECT_EQ(platform.shown().size(), c.dialogs) << c.what << "\n" << dialogs(platform).join(u'\n').toStdString();
        EXPECT_EQ(platform.pendingAnswers(), 0u) << c.what;
        EXPECT_EQ(window.document().grid().mapSize(), 2) << c.what;
        EXPECT_EQ(window.document().grid().cells(), before) << c.what;
    }
    // The engine's reason, as a warning.
    const ScriptedPlatform::Shown& failure = platform.shown().constLast();
    EXPECT_EQ(failure.kind, Kind::Message);
    EXPECT_EQ(failure.buttons, MessageButtons::OkExclamation);
    EXPECT_FALSE(failure.text.isEmpty());
}

TEST_F(AutoAssemblyFlowTest, ClosingTheWindowDuringTheMatchStopsItAndChangesNothing)
{
    ScriptedPlatform platform;
    MapDocument mapDocument(platform);
    MainWindow window(platform, mapDocument);
    bool quit = false;
    window.setQuitFunction([&](int) { quit = true; });
    newMap(window, platform, 5, false);
    int started = 0;
    // The second piece of work is the match: the close box is answered Yes as it begins.
    QObject::connect(&window.document().work(), &LongWork::started, &window, [&] {
        if (++started == 2)
            window.confirmExit();
    });
    platform.answerOpen(map().referencePath);
    platform.answerFolder(map().sliceFolder);
    platform.answerNumbers(3, 4);
    platform.answerYes();
    trigger(window);
    EXPECT_EQ(started, 2);
    EXPECT_TRUE(quit);
    EXPECT_EQ(platform.shown().constLast().text, QStringLiteral("请注意保存，是否退出？"));
    EXPECT_EQ(window.document().grid().cells(), CellTexts(25));
    EXPECT_TRUE(resultText().isEmpty());
}

TEST_F(AutoAssemblyFlowTest, AssembleWritesThePlacementsAsAMapPathFile)
{
    const QString output = temp(QStringLiteral("assembled.tlp"));
    for (const QStringList& grid : {QStringList{}, QStringList{"--rows", "3", "--cols", "4"}}) {
        QFile::remove(output);
        ASSERT_EQ(run(QStringList{"assemble", "--reference", map().referencePath, "--slices", map().sliceFolder}
                      + grid + QStringList{"-o", output}),
                  0)
            << err.toStdString();
        EXPECT_TRUE(out.startsWith(QStringLiteral("已拼合 12 个单元格，存疑 0 个，用时 "))) << out.toStdString();
        EXPECT_TRUE(out.endsWith(QStringLiteral(" 秒：%1\n").arg(output))) << out.toStdString();
        QFile file(output);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        NullProgress quiet;
        const MapTextLoad shape = parseMapText(bytes, 0, quiet);
        EXPECT_EQ(std::max(shape.lines, shape.widest), 4);
        expectAssembled(parseMapText(bytes, 4, quiet).cells, 4);
    }

    ASSERT_EQ(run({"--help"}), 0);
    EXPECT_TRUE(out.contains(QStringLiteral("tessera assemble --reference")));
    ASSERT_EQ(run({"assemble", "--help"}), 0);
    EXPECT_TRUE(out.contains(QStringLiteral("--slices")));
}

TEST_F(AutoAssemblyFlowTest, AssembleRefusesBadUsageWith2AndFailuresWith1)
{
    const QString ref = map().referencePath, folder = map().sliceFolder;
    const QString output = temp(QStringLiteral("refused.tlp"));
    const QList<QStringList> badUsage = {
        {"--slices", folder, "-o", output},
        {"--reference", ref, "-o", output},
        {"--reference", ref, "--slices", folder},
        {"--reference", ref, "--slices", folder, "--rows", "3", "-o", output},
        {"--reference", ref, "--slices", folder, "--cols", "4", "-o", output},
        {"--reference", ref, "--slices", folder, "--rows", "three", "--cols", "4", "-o", output},
        {"--reference", ref, "--slices", folder, "--rows", "0", "--cols", "4", "-o", output},
        {"--reference", ref, "--slices", folder, "--rows", "3", "--cols", "1001", "-o", output},
        {"--reference", ref, "--slices", folder, "--size", "4", "-o", output},
        {"--reference", ref, "--slices", folder, "-o"},
    };
    for (const QStringList& arguments : badUsage) {
        EXPECT_EQ(run(QStringList{"assemble"} + arguments), 2) << arguments.join(u' ').toStdString();
        EXPECT_TRUE(err.contains(QStringLiteral("用法：tessera assemble"))) << err.toStdString();
    }
    EXPECT_EQ(run({"assemble", "--reference", ref, "--slices", emptyFolder(), "-o", output}), 1);
    EXPECT_FALSE(err.isEmpty());
    EXPECT_EQ(run({"assemble", "--reference", ref, "--slices", folder, "-o", ref + "/map.tlp"}), 1);
    EXPECT_TRUE(err.contains(QStringLiteral("无法写入地图路径文件"))) << err.toStdString();
    EXPECT_FALSE(QFile::exists(output));
}

}  // namespace
