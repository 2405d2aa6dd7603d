#pragma once

#include "app/MainLayout.h"
#include "canvas/EditingState.h"
#include "canvas/EditingTools.h"
#include "app/MapFileCommands.h"
#include "model/MapShift.h"
#include "model/TileGrid.h"
#include "model/TileGridModel.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QToolButton;
class QWheelEvent;
class QTreeView;

namespace tessera {

class AutoAssemblyCommand;
class Canvas;
class EditingTools;
class LongWork;
class MapDocument;
class HintTracker;
class TileChooser;
class LowerPanelTabs;
class Platform;
class PreviewWindow;
class ProgressBar;
class ResultReport;
class StatusBar;
class TileListWindow;
class ToolRadio;

// The editor's main window: its controls and menus, their layout, and the binding
// of every event to the operation that handles it.
class MainWindow : public QMainWindow, private EditingView {
    Q_OBJECT

public:
    static constexpr QSize kCreatedSize{942, 623};
    static constexpr QSize kStartSize{900, 600};

    explicit MainWindow(Platform& platform, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Program-wide state.
    TileGrid& grid() { return grid_; }
    const TileGrid& grid() const { return grid_; }
    EditingState& editing() { return editing_; }
    EditMode editMode() const override;
    QPoint canvasOrigin() const { return canvasOrigin_; }
    Progress& progress();
    Canvas& canvas() { return *canvas_; }
    EditingTools& tools() { return *tools_; }
    TileChooser& chooser() { return *chooser_; }
    TileListWindow* tileListWindow() const;
    PreviewWindow* previewWindow() const;
    // The long operations on the map, one at a time in the background.
    LongWork& longWork() { return *work_; }
    MapDocument& document() { return *doc_; }
    // Blocks until the long work and the tiles of the last full redraw are done. For tests and
    // benchmarks.
    void waitForWork();

    // How the program ends; the default leaves the event loop with the given code.
    void setQuitFunction(std::function<void(int)> quit) { quit_ = std::move(quit); }

    void showHint(const QString& text);
    // The exit question. Yes stops and joins every task, applies a stopped batch's result, and
    // ends the program at once.
    void confirmExit();

    void layoutMainWindow();
    void togglePanel();
    bool panelShown() const;
    void loadMapPicture();
    void toggleMapPicture();

    void ensureTileListWindow();
    void importData();
    void exportData();
    void showTileList();

    // The commands of the buttons and menus.
    void newMap();
    void redrawCanvas();
    void updateScrollRanges();
    void undoPlacement();
    void wheelCanvas(const QWheelEvent& event);
    void openPreview();
    void shift(ShiftDirection direction);
    void batchRename();
    void batchMove();
    // Asks for a file and a cell size and writes the whole map there as one picture.
    void exportMapPicture();
    // 自动拼图, with the picture loaded into the map picture box as its reference when there is one.
    void autoAssemble();
    AutoAssemblyCommand& assembly() { return *assembly_; }

    // The geometry of the laid-out controls, as the layout sees it.
    MainGeometry controlGeometry() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildTopRow(QWidget* client);
    void buildToolRadios();
    void buildCanvasArea(QWidget* client);
    void buildLowerPanel(QWidget* client);
    void buildMenus();
    void bindEvents();
    void applyGeometry(const MainGeometry& g);
    void recordCanvasOrigin();
    void chooseTool(EditMode mode);
    void showMapPicture();
    void scrollCanvas();
    void bindEditing();
    void bindLongWork();
    void bindDocument();
    // Holds editing on the canvas, drops and table edits while long work runs.
    void holdEditing(bool hold);
    bool followImageEvent(QEvent* event);
    FollowBounds followBounds() const override;
    bool seesCanvasAt(QPointF at) const override;
    QPoint clientPosition(const QWidget* from, QPointF at) const;

    Platform& platform_;
    // The map and all done to it; the window holds references into it and owns no map state.
    std::unique_ptr<MapDocument> doc_;
    TileGrid& grid_;
    TileGridModel& gridModel_;
    EditingState& editing_;
    MapFileCommands* mapFile_;
    LongWork* work_;
    std::unique_ptr<ResultReport> results_;
    std::unique_ptr<AutoAssemblyCommand> assembly_;
    std::unique_ptr<Canvas> canvas_;
    std::unique_ptr<EditingTools> tools_;
    TileChooser* chooser_ = nullptr;
    std::function<void(int)> quit_;
    bool closing_ = false;  // Yes was answered to the exit question
    QPoint canvasOrigin_;
    QImage mapPictureCorner_;
    QString mapPicturePath_;  // the file mapPictureCorner_ was read from

    // Controls, by role.
    QWidget* toolBarPanel_ = nullptr;
    ToolRadio* toolRadios_[5] = {};
    QCheckBox* showRuler_ = nullptr;
    QCheckBox* showGrid_ = nullptr;
    QToolButton* undoButton_ = nullptr;
    QToolButton* refreshButton_ = nullptr;
    QToolButton* previewButton_ = nullptr;
    QRadioButton* size40x30_ = nullptr;
    QRadioButton* size40x16_ = nullptr;
    QWidget* viewport_ = nullptr;
    QWidget* rulerBoard_ = nullptr;
    QWidget* editCanvas_ = nullptr;
    QToolButton* newMapButton_ = nullptr;
    QScrollBar* hScroll_ = nullptr;
    QScrollBar* vScroll_ = nullptr;
    QLabel* followImage_ = nullptr;
    LowerPanelTabs* tabs_ = nullptr;
    QPlainTextEdit* usageNotes_ = nullptr;
    QComboBox* driveList_ = nullptr;
    QTreeView* folderList_ = nullptr;
    QListWidget* tileFileList_ = nullptr;
    QLabel* tilePreview_ = nullptr;
    QPushButton* panelToggle_ = nullptr;
    QLabel* mapPicture_ = nullptr;
    QPushButton* loadMapPicture_ = nullptr;
    StatusBar* statusBar_ = nullptr;
    ProgressBar* progressBar_ = nullptr;
    QMenu* editMenu_ = nullptr;
    QAction* importAction_ = nullptr;
    QAction* exportAction_ = nullptr;
    QAction* dataAnalysisAction_ = nullptr;
    QAction* mapPictureAction_ = nullptr;
    QAction* assembleAction_ = nullptr;

    QPointer<TileListWindow> tileList_;
    QPointer<PreviewWindow> preview_;
    HintTracker* hints_ = nullptr;
    int lastHScrollPos_ = 1;
    int lastVScrollPos_ = 1;
};

}  // namespace tessera
