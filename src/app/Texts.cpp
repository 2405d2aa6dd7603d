#include "app/Texts.h"

#include <QStringList>

namespace tessera::texts {

QString windowTitle()
{
    return QStringLiteral("青石地图编辑器1.0正式版 —— Tessera 团队制作");
}

QString usageNotes()
{
    const QStringList lines{
        QStringLiteral("使用方法说明："),
        QString(),
        QStringLiteral("    文件》新建》确定》输入地图大小，宽和高为输入值》直接从文件夹拖入图片文件，或者使用【选择文件】，单击文件名，再单击编辑界面。"),
        QString(),
        QStringLiteral("    直接从文件夹中拖拉图片，指向浅灰色界面中。也可以从上面的路径文件选择框中选中，单击浅灰色界面即可画出。注意画出位置为鼠标所指位置。如果出现地图看不见，请刷新界面。整个界面左右上下移动请使用菜单栏》编辑》中的相关选项，功能》数据分析处理》可进行导出已拼合地图图片的文件名，便于导入再次进行工作。同时拥有批量更名和批量移动图片文件的功能，可方便把已拼合的图片也未拼合的分开。"),
        QString(),
        QStringLiteral("    进入删除状态后，撤销按钮不能再取消之前的操作；菜单栏》编辑》撤销（Ctrl+Z）仍可逐步撤销之前的修改，直到新建地图或批量更名、批量移动。"),
        QString(),
        QString(),
        QStringLiteral("更新说明："),
        QString(),
        QStringLiteral("测试版升级正式版 1.0版  20120415 3:20"),
        QString(),
        QStringLiteral("    1.添加移动图片时，图片跟随功能。"),
        QStringLiteral("    2.实现真正标尺。"),
        QStringLiteral("    3.添加显示与隐藏标尺的功能。"),
        QStringLiteral("    4.添加显示与隐藏网格的功能。"),
        QStringLiteral("    5.改变部分控件大小缩放比例。"),
        QStringLiteral("    6.限制窗口缩放最小值。"),
        QStringLiteral("    7.实现数据分析处理窗口可最大化。"),
        QStringLiteral("    8.导出数据是可选择保存为青石地图路径文件TLP。"),
    };
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

const QHash<QString, QString>& hints()
{
    static const QHash<QString, QString> table{
        {QStringLiteral("ToolBarPanel"), QStringLiteral("功能栏")},
        {QStringLiteral("PlaceToolRadio"), QStringLiteral("拼入功能，可直接拖入图片")},
        {QStringLiteral("DeleteToolRadio"), QStringLiteral("删除功能，删除单张图片")},
        {QStringLiteral("MoveToolRadio"), QStringLiteral("移动功能，移动单张图片，并覆盖")},
        {QStringLiteral("SwapToolRadio"), QStringLiteral("替换功能，两个图片交换")},
        {QStringLiteral("SpareToolRadio"), QStringLiteral("暂无功能，正添加中")},
        {QStringLiteral("ShowRulerCheck"), QStringLiteral("勾上为显示标尺，否则为隐藏")},
        {QStringLiteral("ShowGridCheck"), QStringLiteral("勾上为显示网格，否则为隐藏")},
        {QStringLiteral("UndoButton"), QStringLiteral("撤销功能，撤销之前操作")},
        {QStringLiteral("RefreshButton"), QStringLiteral("刷新功能，用于刷新界面")},
        {QStringLiteral("PreviewButton"), QStringLiteral("预览功能，用于查看全图")},
        {QStringLiteral("CellSize40x30Radio"), QStringLiteral("设置拼入图片的宽和高为40×30")},
        {QStringLiteral("CellSize40x16Radio"), QStringLiteral("设置拼入图片的宽和高为40×16")},
        {QStringLiteral("CanvasViewport"), QStringLiteral("标尺界面")},
        {QStringLiteral("EditCanvas"), QStringLiteral("地图编辑界面")},
        {QStringLiteral("NewMapButton"), QStringLiteral("新建地图拼合界面")},
        {QStringLiteral("FollowImage"), QStringLiteral("移动图片")},
        {QStringLiteral("CanvasHScroll"), QStringLiteral("地图编辑界面横向滚动条")},
        {QStringLiteral("CanvasVScroll"), QStringLiteral("地图编辑界面纵向滚动条")},
        {QStringLiteral("UsageNotesText"), QStringLiteral("使用说明")},
        {QStringLiteral("DriveList"), QStringLiteral("选择分区")},
        {QStringLiteral("FolderList"), QStringLiteral("选择文件夹")},
        {QStringLiteral("TileFileList"), QStringLiteral("单击文件名，再到地图编辑界面中单击拼入位置")},
        {QStringLiteral("TilePreviewBox"), QStringLiteral("文件选择临时显示图片框")},
        {QStringLiteral("PanelToggleButton"), QStringLiteral("显示与隐藏下方的界面")},
        {QStringLiteral("MapPictureBox"), QStringLiteral("原大地图")},
        {QStringLiteral("LoadMapPictureButton"), QStringLiteral("点击选择载入原大地图")},
        {QStringLiteral("StatusBar"), QStringLiteral("状态条")},
        {QStringLiteral("ProgressBar"), QStringLiteral("操作进度条")},
    };
    return table;
}

QString aboutEditorTitle()
{
    return QStringLiteral("关于地图编辑器");
}

QString aboutEditorText()
{
    return QStringLiteral("青石地图编辑器是 Tessera 团队在早先的瓦片地图拼合与图片批量更名工作的基础上开发而成的。");
}

QString aboutMakerTitle()
{
    return QStringLiteral("关于青石网络");
}

QString aboutMakerText()
{
    return QStringLiteral("Tessera 团队出品。\n项目的源代码、说明与问题反馈都在 Tessera 的 Git 仓库中，详见随程序附带的 README.md。");
}

}  // namespace tessera::texts

