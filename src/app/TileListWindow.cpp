#include "app/TileListWindow.h"

#include "gui/WindowPlacement.h"
#include "model/TileGridModel.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QRadioButton>
#include <QStyleOptionHeader>

namespace tessera {

TileTableView::TileTableView(QWidget* parent) : QTableView(parent)
{
    setObjectName(QStringLiteral("TileTable"));
    setAccessibleName(QStringLiteral("地图分片文件名表格"));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                    | QAbstractItemView::AnyKeyPressed);
    setStyleSheet(QStringLiteral("QTableView { gridline-color: rgb(192, 192, 192); background: white;"
                                 " color: black; selection-background-color: rgb(51, 153, 255); }"));
    // A folder of slices gives every cell the same beginning: the file name at the end must show.
    setTextElideMode(Qt::ElideMiddle);
    setWordWrap(false);
    horizontalHeader()->setDefaultSectionSize(TileGridModel::kColumnWidth);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    verticalHeader()->setDefaultSectionSize(TileGridModel::kRowHeight);
    verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    // Wide enough for the corner's title.
    verticalHeader()->setMinimumWidth(fontMetrics().horizontalAdvance(TileGridModel::kCornerText) + 16);
    for (QHeaderView* header : {horizontalHeader(), verticalHeader()})
        header->setHighlightSections(false);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        setCurrentIndex(model()->index(0, column));
    });
    connect(verticalHeader(), &QHeaderView::sectionClicked, this, [this](int row) {
        setCurrentIndex(model()->index(row, 0));
    });
    // The corner cell carries the table's title.
    if (auto* corner = findChild<QAbstractButton*>()) {
        corner->installEventFilter(this);
        corner->setAccessibleName(TileGridModel::kCornerText);
    }
}

void TileTableView::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && state() != QAbstractItemView::EditingState && currentIndex().isValid()) {
        edit(currentIndex());
        return;
    }
    QTableView::keyPressEvent(event);
}

bool TileTableView::eventFilter(QObject* watched, QEvent* event)
{
    auto* corner = qobject_cast<QAbstractButton*>(watched);
    if (corner && event->type() == QEvent::Paint) {
        QPainter painter(corner);
        QStyleOptionHeader option;
        option.initFrom(corner);
        option.rect = corner->rect();
        option.text = TileGridModel::kCornerText;
        option.textAlignment = Qt::AlignCenter;
        corner->style()->drawControl(QStyle::CE_Header, &option, &painter, corner);
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

ScratchBoard::ScratchBoard(QWidget* parent) : QWidget(parent), picture_(400, 300, QImage::Format_RGB32)
{
    setObjectName(QStringLiteral("TileListScratchBoard"));
    setAccessibleName(QStringLiteral("占位图片画板"));
    picture_.fill(Qt::white);
}

void ScratchBoard::paintEvent(QPaintEvent*)
{
    QPainter(this).drawImage(0, 0, picture_);
}

TileListWindow::TileListWindow(QAbstractItemModel* model, QWidget* parent)
    : QMainWindow(parent, Qt::Window), table_(new TileTableView), ruleLabel_(new QLabel),
      ruleRowCol_(new QRadioButton), ruleSuffix_(new QRadioButton), fillBlanks_(new QCheckBox),
      scratch_(new ScratchBoard)
{
    setObjectName(QStringLiteral("TileListWindow"));
    setWindowTitle(QStringLiteral("数据分析处理"));
    setAccessibleName(windowTitle());
    setMinimumSize(kMinimumSize);

    auto* fileMenu = menuBar()->addMenu(QStringLiteral("文件"));
    fileMenu->setObjectName(QStringLiteral("TileListFileMenu"));
    auto* functionMenu = menuBar()->addMenu(QStringLiteral("功能"));
    functionMenu->setObjectName(QStringLiteral("TileListFunctionMenu"));
    auto command = [](QMenu* menu, const QString& text, const QString& name) {
        QAction* action = menu->addAction(text);
        action->setObjectName(name);
        return action;
    };
    connect(command(fileMenu, QStringLiteral("导入数据"), QStringLiteral("TileListImportCommand")),
            &QAction::triggered, this, &TileListWindow::importRequested);
    fileMenu->addSeparator();
    connect(command(fileMenu, QStringLiteral("导出数据"), QStringLiteral("TileListExportCommand")),
            &QAction::triggered, this, &TileListWindow::exportRequested);
    connect(command(functionMenu, QStringLiteral("批量更名"), QStringLiteral("BatchRenameCommand")),
            &QAction::triggered, this, &TileListWindow::batchRenameRequested);
    functionMenu->addSeparator();
    connect(command(functionMenu, QStringLiteral("移动文件位置"), QStringLiteral("BatchMoveCommand")),
            &QAction::triggered, this, &TileListWindow::batchMoveRequested);

    auto* client = new QWidget;
    client->setObjectName(QStringLiteral("TileListClient"));
    setCentralWidget(client);
    client->installEventFilter(this);

    table_->setParent(client);
    table_->setModel(model);
    table_->setGeometry(-1, 0, 664, 313);

    ruleLabel_->setParent(client);
    ruleLabel_->setObjectName(QStringLiteral("RenameRuleLabel"));
    ruleLabel_->setText(QStringLiteral("请选择更名规则："));
    ruleLabel_->setGeometry(7, 312, 94, 32);

    ruleRowCol_->setParent(client);
    ruleRowCol_->setObjectName(QStringLiteral("RenameRuleRowColRadio"));
    ruleRowCol_->setText(QStringLiteral("1-1.后缀名"));
    ruleRowCol_->setGeometry(110, 312, 86, 32);
    ruleRowCol_->setChecked(true);

    ruleSuffix_->setParent(client);
    ruleSuffix_->setObjectName(QStringLiteral("RenameRuleSuffixRadio"));
    ruleSuffix_->setText(QStringLiteral("1.后缀名"));
    ruleSuffix_->setGeometry(199, 312, 86, 32);
    ruleSuffix_->setEnabled(false);

    fillBlanks_->setParent(client);
    fillBlanks_->setObjectName(QStringLiteral("FillBlanksCheck"));
    fillBlanks_->setText(QStringLiteral("更名时空白处补上图片"));
    fillBlanks_->setGeometry(500, 317, 150, 32);
    connect(fillBlanks_, &QCheckBox::clicked, this, &TileListWindow::toggleScratchBoard);

    scratch_->setParent(client);
    scratch_->setGeometry(112, 8, 400, 300);
    scratch_->hide();

    for (QWidget* w : {static_cast<QWidget*>(ruleLabel_), static_cast<QWidget*>(ruleRowCol_),
                       static_cast<QWidget*>(ruleSuffix_), static_cast<QWidget*>(fillBlanks_)})
        w->setAccessibleName(w->property("text").toString());

    resize(669, 395);
    centreOnScreen(this);
}

void TileListWindow::layoutTileListWindow()
{
    // The window manager may size a window below its minimum; it snaps back.
    if (width() < kMinimumSize.width() || height() < kMinimumSize.height())
        resize(std::max(width(), kMinimumSize.width()), std::max(height(), kMinimumSize.height()));
    QWidget* client = centralWidget();
    const int w = client->width();
    const int h = client->height();
    table_->setGeometry(1, 1, w - 2, h - 3 - ruleLabel_->height());
    const int top = table_->height() + 2;
    ruleLabel_->move(ruleLabel_->x(), top);
    ruleRowCol_->move(ruleRowCol_->x(), top);
    ruleSuffix_->move(ruleSuffix_->x(), top);
    fillBlanks_->move(w - fillBlanks_->width() - 4, top);
}

void TileListWindow::toggleScratchBoard()
{
    scratch_->setVisible(scratch_->isHidden());  // its own flag, whether or not the window shows
    scratch_->raise();
}

void TileListWindow::closeEvent(QCloseEvent* event)
{
    hide();
    event->ignore();
}

bool TileListWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == centralWidget() && event->type() == QEvent::Resize)
        layoutTileListWindow();
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace tessera
