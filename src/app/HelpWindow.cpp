#include "app/HelpWindow.h"

#include "app/Texts.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace tessera {
namespace {

struct Section {
    const char* title;
    const char* text;
};

// What the usage notes do not cover, one section a part of the program.
const Section kSections[] = {
    {"打开地图与最近打开的地图",
     "文件 → 打开地图…（Ctrl+O）直接打开地图路径文件、TMX 或 TMJ 地图，不必先新建：地图的大小取自文件"
     "（地图路径文件取行数与最长一行字段数中较大的一个，最大 1000）。打开的地图路径文件就是“保存”写入的文件。"
     "当前地图有未保存的修改时先询问是否保存。文件 → 最近打开的地图列出最近打开、导入、导出或保存的 10 个地图。"},
    {"撤销、重做与历史记录",
     "地图的每一次改变（放置、移动、删除、交换、表格修改、整体移动、导入、自动拼图）都可以用 编辑 → 撤销（Ctrl+Z）"
     "和 重做（Ctrl+Y）来回切换，直到新建地图或批量更名、移动文件位置为止。编辑 → 历史记录 列出每一步，"
     "点击某一步即回到那一步。工具栏上的撤销按钮只撤销上次刷新以来的放置和交换；用过菜单的撤销或重做后，"
     "它只撤销最新的一步。"},
    {"保存与意外退出后的恢复",
     "文件 → 保存（Ctrl+S）把地图写回上次导入、导出或打开的地图路径文件；没有时像导出数据一样询问文件名。"
     "编辑过程随时记录在用户的数据文件夹中；程序意外退出后再次启动时，会询问是否恢复未保存的地图。"
     "文件 → 恢复以前的地图… 可以找回以前没有恢复的地图。"},
    {"切分大图",
     "功能 → 切分大图… 把一张大图按单元格大小切成“行-列.jpg”的切片，写入一个空文件夹或新文件夹，"
     "并可以把切片放入地图；最后一列和一行可以补足整个单元格。"},
    {"自动拼图与存疑",
     "功能 → 自动拼图… 把一个文件夹中的切片按原大地图（参考图）放到各自的单元格。结果窗口列出每个放置及其把握；"
     "“存疑”表示程序没有把握：切片与原图差异大、与另一个单元格难以区分，或原图中这一格大部分缺失。"
     "存疑的单元格在画布上以方框标出，请逐个检查。"},
    {"导出地图图片",
     "功能 → 导出地图图片… 把整个地图写成一张 PNG 或 JPEG 图片，每个单元格 40 × 30 到 400 × 300 像素。"},
    {"TMX/TMJ 地图",
     "文件 → 导出为 TMX/TMJ 地图… 写出 Tiled 地图编辑器和游戏引擎能读的地图。勾选“同时导出图集”时，"
     "各图块缩放到单元格大小并拼成几张 PNG 图集，游戏引擎（如 Phaser）每个图块集一次调用即可画出整张地图。"
     "导入数据和打开地图也能读 TMX/TMJ 地图；从大图中切出的图块和翻转过的图块各存为一个 PNG 图片。"},
    {"快捷键",
     "Ctrl+N 新建，Ctrl+O 打开地图，Ctrl+S 保存，Ctrl+Shift+S 导出数据，Ctrl+Q 退出，Ctrl+Z 撤销，Ctrl+Y 重做，"
     "F5 刷新，F1 使用手册。"},
    {"命令行",
     "tessera render 地图 -o 图片 导出地图图片；tessera assemble 参考图 切片文件夹 -o 地图 自动拼图；"
     "tessera slice 图片 -o 文件夹 切分大图；tessera convert 地图 -o 地图.tmx|.tmj 转换为 TMX/TMJ（--atlas 导出图集）。"
     "tessera --help 列出全部选项。"},
};

}  // namespace

QString HelpWindow::manualText()
{
    QString text = QStringLiteral("使用说明\n\n") + texts::usageNotes().replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (const Section& s : kSections)
        text += QStringLiteral("\n%1\n\n%2\n").arg(QString::fromUtf8(s.title), QString::fromUtf8(s.text));
    return text;
}

HelpWindow::HelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), text_(new QTextBrowser(this)), search_(new QLineEdit(this))
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("使用手册"));
    setAccessibleName(windowTitle());
    text_->setObjectName(QStringLiteral("ManualText"));
    text_->setPlainText(manualText());
    search_->setObjectName(QStringLiteral("ManualSearch"));
    search_->setAccessibleName(QStringLiteral("查找"));
    search_->setPlaceholderText(QStringLiteral("查找（Ctrl+F）"));
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(new QLabel(QStringLiteral("查找："), this));
    searchRow->addWidget(search_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(searchRow);
    layout->addWidget(text_);
    auto* find = new QAction(this);
    find->setShortcut(QKeySequence::Find);
    connect(find, &QAction::triggered, search_, [this] {
        search_->setFocus();
        search_->selectAll();
    });
    addAction(find);
    connect(search_, &QLineEdit::returnPressed, this, [this] { findNext(search_->text()); });
    resize(560, 640);
}

bool HelpWindow::findNext(const QString& text)
{
    if (text.isEmpty())
        return false;
    if (text_->find(text))
        return true;
    text_->moveCursor(QTextCursor::Start);
    return text_->find(text);
}

}  // namespace tessera
