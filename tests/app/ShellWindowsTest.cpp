#include "app/Icons.h"
#include "app/Startup.h"
#include "app/Texts.h"
#include "model/TileGrid.h"
#include "model/TileGridModel.h"
#include "app/ResultWindow.h"
#include "app/TileListWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QAbstractButton>
#include <QAccessible>
#include <QDate>
#include <QLocale>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

using namespace tessera;

TEST(Startup, ChineseTextsHaveGlyphsAndStandardButtonsAreTranslated)
{
    setUpApplication(*qApp);
    QString all = texts::usageNotes() + texts::aboutEditorText() + texts::aboutMakerText() + texts::windowTitle()
        + texts::kExitQuestion + texts::kHintLabel
        + QStringLiteral("文件新建导入数据导出数据退出编辑所有图片向左右上下移动功能数据分析处理帮助关于地图编辑器青石网络"
                         "应用说明选择文件隐藏显示载入原大地图更名规则后缀名时空白处补上结果预览是否覆盖");
    for (const QString& hint : texts::hints())
        all += hint;
    const QFontMetrics metrics(QApplication::font());
    QString missing;
    for (const char32_t ch : all.toUcs4()) {
        if (ch > 0x7F && ch != u'\r' && !metrics.inFontUcs4(ch))
            missing += QString::fromUcs4(&ch, 1);
    }
    EXPECT_TRUE(missing.isEmpty()) << "no glyph for: " << missing.toStdString();

    QMessageBox box(QMessageBox::Information, QString(), QString(), QMessageBox::Yes | QMessageBox::No);
    EXPECT_TRUE(box.button(QMessageBox::Yes)->text().contains(QStringLiteral("是")));
    EXPECT_TRUE(box.button(QMessageBox::No)->text().contains(QStringLiteral("否")));
    // One flat look: no pictures on the buttons, the box's icon drawn as the tool bar's are.
    EXPECT_TRUE(box.button(QMessageBox::Yes)->icon().isNull());
    const QImage icon = box.iconPixmap().toImage();
    EXPECT_EQ(icon, makeIcon(IconKind::Information).pixmap(icon.size()).toImage());
    // Qt's own dates read Chinese as well.
    EXPECT_TRUE(QLocale().toString(QDate(2026, 5, 1), QLocale::LongFormat).contains(QStringLiteral("年")));
}

namespace {

struct TileListFixture : testing::Test {
    TileListFixture() : model(grid), window(&model)
    {
        grid.resize(3);
        grid.setCellText(2, 2, QStringLiteral("/m/a.jpg"));
        model.setCellEditor([this](int row, int column, const QString& text) { grid.setCellText(row, column, text); });
    }
    TileGrid grid;
    TileGridModel model;
    TileListWindow window;
};

}  // namespace

TEST_F(TileListFixture, CellsShowTheirWholePathAsATooltipAndTheCornerTitleIsNamed)
{
    EXPECT_EQ(model.data(model.index(1, 1), Qt::ToolTipRole).toString(), QStringLiteral("/m/a.jpg"));
    EXPECT_FALSE(model.data(model.index(0, 0), Qt::ToolTipRole).isValid());
    auto* corner = window.table()->findChild<QAbstractButton*>();
    ASSERT_NE(corner, nullptr);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(corner)->text(QAccessible::Name), TileGridModel::kCornerText);
}

TEST_F(TileListFixture, CloseOnlyHidesAndKeepsTheGrid)
{
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_FALSE(window.close());
    EXPECT_FALSE(window.isVisible());
    window.show();
    EXPECT_EQ(window.table()->model()->data(window.table()->model()->index(1, 1)).toString(),
              QStringLiteral("/m/a.jpg"));
}

TEST_F(TileListFixture, LaysOutTheTableAndTheRuleRow)
{
    window.show();
    const int chrome = window.height() - window.client()->height();
    window.resize(661, 360 + chrome);
    QCoreApplication::processEvents();
    ASSERT_EQ(window.client()->size(), QSize(661, 360));
    EXPECT_EQ(window.table()->geometry(), QRect(1, 1, 659, 325));
    EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("RenameRuleLabel"))->y(), 327);
    EXPECT_EQ(window.fillBlanksCheck()->geometry().topLeft(), QPoint(507, 327));
    // Made smaller from outside, as a window manager or xdotool may, it snaps back.
    window.windowHandle()->resize(100, 250);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.size() == QSize(300, 250); }, 1000))
        << testing::PrintToString(window.size());
    window.windowHandle()->resize(400, 150);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.size() == QSize(400, 200); }, 1000))
        << testing::PrintToString(window.size());
}

TEST_F(TileListFixture, SecondaryWindowsOpenCentredOnTheScreenAtTheirSize)
{
    ResultWindow result;
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    for (auto [shown, size] : {std::pair<QWidget*, QSize>{&window, QSize(669, 395)}, {&result, QSize(634, 416)}}) {
        shown->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(shown));
        EXPECT_EQ(shown->size(), size);
        const QPoint offCentre = shown->frameGeometry().center() - area.center();
        EXPECT_TRUE(std::abs(offCentre.x()) <= 3 && std::abs(offCentre.y()) <= 3)
            << shown->objectName().toStdString() << " at " << testing::PrintToString(shown->frameGeometry());
    }
}

TEST_F(TileListFixture, FillBlanksTogglesTheScratchBoard)
{
    EXPECT_TRUE(window.scratchBoard()->isHidden());
    window.fillBlanksCheck()->click();
    EXPECT_FALSE(window.scratchBoard()->isHidden());
    window.fillBlanksCheck()->click();
    EXPECT_TRUE(window.scratchBoard()->isHidden());
}

TEST_F(TileListFixture, ALongPathShowsItsFileNameWithTheMiddleLeftOut)
{
    // Two paths alike but for their names: cut at the end, both cells would look the same.
    const QString folder = QStringLiteral("/maps/") + QString(200, u'x') + u'/';
    grid.setCellText(1, 1, folder + QStringLiteral("1-1.jpg"));
    grid.setCellText(1, 2, folder + QStringLiteral("9-9.jpg"));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    TileTableView* table = window.table();
    table->setCurrentIndex(model.index(2, 2));
    const auto shown = [&](int column) {
        return table->viewport()->grab(table->visualRect(model.index(0, column))).toImage();
    };
    EXPECT_NE(shown(0), shown(1));
}

TEST_F(TileListFixture, EnterEditsACellAndTheTextGoesIntoTheGrid)
{
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    TileTableView* table = window.table();
    table->setCurrentIndex(model.index(0, 2));
    table->setFocus();
    QTest::keyClick(table, Qt::Key_Return);
    QWidget* editor = table->indexWidget(model.index(0, 2));
    if (!editor)
        editor = QApplication::focusWidget();
    ASSERT_NE(editor, nullptr);
    ASSERT_NE(editor, table);  // an editor is open

    QTest::keyClicks(editor, QStringLiteral("/typed/b.jpg"));
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return grid.cellText(1, 3) == QStringLiteral("/typed/b.jpg"); }, 1000));
}

// The cell a result line leads to: its own "第 r 行 第 c 列", else the cell holding the last file it
// names in 【】 that a cell holds; nothing for other lines or cells off the map.
TEST(ResultLines, LeadToTheCellTheyName)
{
    TileGrid grid;
    grid.resize(3);
    grid.setCellText(2, 3, QStringLiteral("/new/2-3.jpg"));
    grid.setCellText(3, 1, QStringLiteral("/old/a.jpg"));
    const struct { const char* line; std::optional<Cell> cell; } cases[] = {
        {"存疑  第 2 行 第 1 列  x.jpg  与第 3 行第 3 列难以区分", Cell{2, 1}},
        {"【/old/b.jpg】更名改为【/new/2-3.jpg】", Cell{2, 3}},
        {"【/old/a.jpg】更名为【/new/3-1.jpg】失败：拒绝访问，该格仍指向【/old/a.jpg】", Cell{3, 1}},
        {"      第 4 行 第 1 列  y.jpg  置信度 90%", std::nullopt},
        {"已拼合 9 个单元格，存疑 1 个。", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cellNamedIn(QString::fromUtf8(c.line), grid), c.cell) << c.line;
}
