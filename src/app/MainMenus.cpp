// The menu bar's commands and their bindings.
#include "app/MainMenus.h"

#include "document/DocumentJournal.h"
#include "document/MapDocument.h"
#include "document/RecentMaps.h"
#include "document/TiledMapCommand.h"
#include "app/Texts.h"
#include "work/LongWork.h"
#include "files/Dialogs.h"

#include <QMenu>
#include <QFileInfo>
#include <QMenuBar>
#include <QUndoStack>

namespace tessera {

QAction* MainMenus::addCommand(QMenu* menu, const QString& text, const char* role, std::function<void()> run,
                               bool whenIdle)
{
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(role));
    connect(action, &QAction::triggered, this, [this, run = std::move(run), whenIdle] {
        if (whenIdle)
            document_.work().whenIdle(run);
        else
            run();
    });
    return action;
}

MainMenus::MainMenus(QMenuBar* bar, MapDocument& document, Dialogs& dialogs, WindowCommands commands)
    : QObject(bar), document_(document)
{
    auto menu = [bar](const QString& title, const char* role) {
        QMenu* m = bar->addMenu(title);
        m->setObjectName(QString::fromLatin1(role));
        return m;
    };
    // A command that needs a map: disabled until New map.
    auto mapCommand = [this](QAction* action) {
        action->setEnabled(false);
        mapCommands_ << action;
    };

    QMenu* file = menu(QStringLiteral("文件"), "FileMenu");
    changing_ << addCommand(file, QStringLiteral("新建"), "NewMapCommand", commands.newMap);
    changing_.constLast()->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    changing_ << addCommand(file, QStringLiteral("打开地图…"), "OpenMapCommand", [this] { document_.openMap(); });
    changing_.constLast()->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    addRecentMaps(file, dialogs);
    file->addSeparator();
    changing_ << addCommand(file, QStringLiteral("导入数据"), "ImportDataCommand", [this] { document_.file().importGrid(); });
    mapCommand(changing_.constLast());
    file->addSeparator();
    mapCommand(addCommand(file, QStringLiteral("导出数据"), "ExportDataCommand", [this] { document_.file().exportGrid(); }));
    mapCommands_.constLast()->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    mapCommand(addCommand(file, QStringLiteral("导出为 TMX/TMJ 地图…"), "ExportTiledMapCommand",
                          [this, &dialogs] { exportTiledMap(document_, dialogs); }));
    QAction* save = addCommand(file, QStringLiteral("保存"), "SaveCommand", [this] { document_.save(); });
    save->setShortcut(QKeySequence::Save);
    mapCommand(save);
    changing_ << addCommand(file, QStringLiteral("恢复以前的地图…"), "RestoreKeptMapCommand",
                            [this, &dialogs] { restoreKeptMap(document_, dialogs); });
    file->addSeparator();
    addCommand(file, QStringLiteral("退出"), "ExitCommand", commands.exit, false)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    editMenu_ = menu(QStringLiteral("编辑"), "EditMenu");
    addUndoRedo();
    editMenu_->addSeparator();
    const struct {
        const char* text;
        const char* role;
        ShiftDirection direction;
    } shifts[] = {{"所有图片向左移动", "ShiftLeftCommand", ShiftDirection::Left},
                  {"所有图片向右移动", "ShiftRightCommand", ShiftDirection::Right},
                  {"所有图片向上移动", "ShiftUpCommand", ShiftDirection::Up},
                  {"所有图片向下移动", "ShiftDownCommand", ShiftDirection::Down}};
    for (const auto& shift : shifts)
        addCommand(editMenu_, QString::fromUtf8(shift.text), shift.role,
                   [this, direction = shift.direction] { document_.shift(direction); });
    editMenu_->addSeparator();
    addCommand(editMenu_, QStringLiteral("历史记录"), "ShowHistoryCommand", commands.showHistory, false);
    addCommand(editMenu_, QStringLiteral("清除存疑标记"), "ClearDoubtsCommand", commands.clearDoubts, false);
    editMenu_->setEnabled(false);

    QMenu* function = menu(QStringLiteral("功能"), "FunctionMenu");
    mapCommand(addCommand(function, QStringLiteral("数据分析处理"), "DataAnalysisCommand", commands.showTileList,
                          false));
    mapCommand(addCommand(function, QStringLiteral("导出地图图片…"), "ExportMapPictureCommand",
                          commands.exportMapPicture));
    changing_ << addCommand(function, QStringLiteral("自动拼图…"), "AutoAssembleCommand", commands.autoAssemble);
    mapCommand(changing_.constLast());
    changing_ << addCommand(function, QStringLiteral("切分大图…"), "SlicePictureCommand", commands.slicePicture);
    mapCommand(changing_.constLast());

    QMenu* help = menu(QStringLiteral("帮助"), "HelpMenu");
    addCommand(help, QStringLiteral("使用手册"), "ManualCommand", commands.showManual, false)
        ->setShortcut(QKeySequence(Qt::Key_F1));
    addCommand(help, QStringLiteral("关于地图编辑器"), "AboutEditorCommand", [&dialogs] {
        dialogs.messageBox(texts::aboutEditorText(), MessageButtons::Ok, texts::aboutEditorTitle(),
                           QStringLiteral("版本 %1").arg(QStringLiteral(TESSERA_VERSION)));
    }, false);
    addCommand(help, QStringLiteral("关于青石网络"), "AboutMakerCommand", [&dialogs] {
        dialogs.messageBox(texts::aboutMakerText(), MessageButtons::Ok, texts::aboutMakerTitle());
    }, false);
}

void MainMenus::addRecentMaps(QMenu* file, Dialogs& dialogs)
{
    recent_ = new RecentMaps(QString(), this);
    connect(&document_, &MapDocument::fileUsed, recent_, &RecentMaps::add);
    QMenu* menu = file->addMenu(QStringLiteral("最近打开的地图"));
    menu->setObjectName(QStringLiteral("RecentMapsMenu"));
    changing_ << menu->menuAction();
    const auto fill = [this, menu, &dialogs] {
        menu->clear();
        const QStringList& paths = recent_->paths();
        for (int i = 0; i < paths.size(); ++i) {
            const QString path = paths[i];
            const QString text = QStringLiteral("&%1 %2").arg((i + 1) % 10).arg(QString(path).replace(u'&', QStringLiteral("&&")));
            QAction* open = addCommand(menu, text, "RecentMapCommand", [this, path, &dialogs] {
                if (!QFileInfo(path).isFile()) {
                    dialogs.messageBox(QStringLiteral("找不到这个地图文件，已从最近打开的地图中移除：\n%1").arg(path),
                                       MessageButtons::OkExclamation);
                    recent_->remove(path);
                    return;
                }
                document_.openMap(path);
            });
            open->setData(path);
        }
        if (paths.isEmpty())
            menu->addAction(QStringLiteral("（无）"))->setEnabled(false);
    };
    fill();
    connect(recent_, &RecentMaps::changed, menu, fill);
}

void MainMenus::addUndoRedo()
{
    QUndoStack& stack = document_.history().stack();
    QAction* undo = addCommand(editMenu_, QString(), "UndoCommand", [this] { document_.history().undo(); });
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    QAction* redo = addCommand(editMenu_, QString(), "RedoCommand", [this] { document_.history().redo(); });
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    // Each item names the command it takes back or does again, and is disabled without one.
    const auto follow = [undo, redo, &stack] {
        undo->setText(QStringLiteral("撤销") + stack.undoText());
        undo->setEnabled(stack.canUndo());
        redo->setText(QStringLiteral("重做") + stack.redoText());
        redo->setEnabled(stack.canRedo());
    };
    connect(&stack, &QUndoStack::indexChanged, this, follow);
    connect(&stack, &QUndoStack::cleanChanged, this, follow);
    follow();
}

void MainMenus::enableMapCommands()
{
    mapOpen_ = true;
    for (QAction* action : mapCommands_)
        action->setEnabled(!held_ || !changing_.contains(action));
    editMenu_->setEnabled(!held_);
}

void MainMenus::holdMapChanges(bool hold)
{
    held_ = hold;
    for (QAction* action : changing_)
        action->setEnabled(!hold && (mapOpen_ || !mapCommands_.contains(action)));
    editMenu_->setEnabled(!hold && mapOpen_);
}

}  // namespace tessera
