#pragma once

#include <QImage>
#include <QMainWindow>
#include <QTableView>

class QAbstractItemModel;
class QAction;
class QCheckBox;
class QLabel;
class QRadioButton;

namespace tessera {

// The table of the map: single-cell selection, Enter switches a cell into and out of editing, a
// header click makes the first cell of its row or column current.
class TileTableView : public QTableView {
    Q_OBJECT

public:
    explicit TileTableView(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// A drawing board that keeps its picture off screen, so that drawing on it works while hidden.
class ScratchBoard : public QWidget {
    Q_OBJECT

public:
    explicit ScratchBoard(QWidget* parent = nullptr);
    QImage& picture() { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
};

// "数据分析处理": the map as a table, with import, export and the batch file operations. A close
// request only hides it.
class TileListWindow : public QMainWindow {
    Q_OBJECT

public:
    static constexpr QSize kMinimumSize{300, 200};

    explicit TileListWindow(QAbstractItemModel* model, QWidget* parent = nullptr);

    TileTableView* table() const { return table_; }
    QCheckBox* fillBlanksCheck() const { return fillBlanks_; }
    ScratchBoard* scratchBoard() const { return scratch_; }
    QWidget* client() const { return centralWidget(); }

    void layoutTileListWindow();
    void toggleScratchBoard();

signals:
    void importRequested();
    void exportRequested();
    void batchRenameRequested();
    void batchMoveRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TileTableView* table_;
    QLabel* ruleLabel_;
    QRadioButton* ruleRowCol_;
    QRadioButton* ruleSuffix_;
    QCheckBox* fillBlanks_;
    ScratchBoard* scratch_;
};

}  // namespace tessera
