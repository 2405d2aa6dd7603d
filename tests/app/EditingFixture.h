#pragma once
// The main window after New map at 5 × 5, with three solid tiles to place and the canvas's mouse.
#include "app/MainWindow.h"
#include "document/MapDocument.h"
#include "canvas/Canvas.h"
#include "canvas/EditingTools.h"
#include "canvas/TileChooser.h"
#include "support/ScriptedPlatform.h"
#include "model/TileGridModel.h"
#include "support/TestImages.h"
#include "app/TileListWindow.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QPlainTextEdit>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QRadioButton>
#include <QScrollBar>
#include <QWheelEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include <gtest/gtest.h>

namespace tessera {

using namespace testcolors;

class EditingTest : public testing::Test {
protected:
    EditingTest() : window(platform, mapDocument)
    {
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        for (auto [name, color] : {std::pair{"red.jpg", kRed}, {"green.jpg", kGreen}, {"blue.jpg", kBlue}})
            EXPECT_TRUE(writeSolidImage(path(name), color));
        platform.answerYes();
        platform.answerInput(QStringLiteral("5"));
        window.newMap();
        platform.clearShown();
        canvas = find("EditCanvas");
    }

    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QWidget* find(const char* role) const { return window.findChild<QWidget*>(QString::fromLatin1(role)); }
    static QPoint centre(int row, int column) { return cellRect(row, column).center(); }
    QString cell(int row, int column) { return window.document().grid().cellText(row, column); }
    // Once the tiles that editing steps asked for are drawn.
    QRgb pixel(QPoint at)
    {
        window.canvas().waitForCells();
        return canvas->grab().toImage().pixel(at);
    }
    EditingState& editing() { return window.editing(); }
    MoveState moveState() { return window.tools().moveState(); }
    // The cell the undo button would take back next; (0, 0) when none.
    std::pair<int, int> undoCell()
    {
        const std::optional<ButtonStep> step = window.document().history().buttonStep();
        return step ? std::pair{step->row, step->column} : std::pair{0, 0};
    }

    void arm(const char* tool) { QTest::mouseClick(find(tool), Qt::LeftButton); }
    void click(int row, int column) { QTest::mouseClick(canvas, Qt::LeftButton, {}, centre(row, column)); }
    void press(int row, int column) { QTest::mousePress(canvas, Qt::LeftButton, {}, centre(row, column)); }
    void release(QPoint at) { QTest::mouseRelease(canvas, Qt::LeftButton, {}, at); }
    void hover(int row, int column) { QTest::mouseMove(canvas, centre(row, column)); }

    void choose(const char* name)
    {
        window.chooser().setCurrentFolder(dir.path());
        window.chooser().chooseFile(QString::fromLatin1(name));
    }

    void place(const char* name, int row, int column)
    {
        choose(name);
        click(row, column);
    }

    void drop(const QStringList& files)
    {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& f : files)
            urls << QUrl::fromLocalFile(f);
        mime.setUrls(urls);
        // A drag enters first, as it does from a file manager; it picks the drop's target.
        QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &enter);
        QDropEvent event(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &event);
    }

    QTemporaryDir dir;
    ScriptedPlatform platform;
    MapDocument mapDocument{platform};
    MainWindow window;
    QWidget* canvas = nullptr;
};

}  // namespace tessera
