#pragma once

#include "app/MainControls.h"
#include "canvas/EditingTools.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>

namespace tessera {

class HelpWindow;
class HistoryWindow;

class AutoAssemblyCommand;
class CanvasScrolling;
class Canvas;
class HintTracker;
class MainMenus;
class MapPictureBox;
class MapDocument;
class Dialogs;
class Platform;
class PreviewWindow;
class Progress;
class ResultReport;
class TileChooser;
class TileListWindow;

// The editor's main window: its controls and menus, laid out, and every event passed on to the
// document, the canvas and the tools. It owns no map state: the document is made before it and
// goes after it.
class MainWindow : public QMainWindow, private EditingView {
    Q_OBJECT

public:
    static constexpr QSize kCreatedSize{942, 623};
    static constexpr QSize kStartSize{900, 600};

    MainWindow(Platform& platform, MapDocument& document, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The map and all done to it.
    MapDocument& document() { return *doc_; }
    Canvas& canvas() { return *canvas_; }
    EditingTools& tools() { return *tools_; }
    // The canvas tools' state: the tile size, the files waiting for the canvas.
    EditingState& editing() { return editing_; }
    TileChooser& chooser() { return *chooser_; }
    Progress& progress();
    // The tool chosen in the tool bar.
    EditMode editMode() const override;
    TileListWindow* tileListWindow() const;
    PreviewWindow* previewWindow() const;
    // Blocks until the long work and the last full redraw's tiles are done (tests, benchmarks).
    void waitForWork();
    // How the program ends; the default leaves the event loop with the given code, or, when a
    // thread is still blocked (a read that never returns), ends the process at once.
    void setQuitFunction(std::function<void(int)> quit)
    {
        quit_ = quit;
        leave_ = std::move(quit);
    }
    // What the exit gives running tasks, which stop at their next step, and then reads of tiles,
    // which may never return, to end before it leaves them.
    static constexpr int kExitTasksMs = 20000;
    static constexpr int kExitReadsMs = 1000;

    // New map, and the window made ready for one.
    void newMap();
    // The exit question; Yes stops and joins every task, applies a stopped batch's result, ends the program.
    void confirmExit();
    void openPreview();
    void ensureTileListWindow();

    // Where the controls are, and the canvas's origin on the screen as last recorded.
    MainGeometry controlGeometry() const { return controls_.geometry(); }
    QPoint canvasOrigin() const { return canvasOrigin_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void bindControls();
    void bindEditing();
    void bindDocument();
    // The window readied for the document's new map.
    void showMapControls();
    void layoutMainWindow();
    void recordCanvasOrigin();
    bool panelShown() const;
    void togglePanel();
    void chooseTool(EditMode mode);
    // A new map or a map of another size: the tools start over, at the first tile size.
    void toolsStartOver();
    void showTileList();
    // 编辑 → 历史记录; 帮助 → 使用手册.
    void showHistory();
    void showManual();
    // Holds editing on the canvas, drops and table edits while long work runs.
    void holdEditing(bool hold);
    bool followImageEvent(QEvent* event);
    FollowBounds followBounds() const override;
    bool seesCanvasAt(QPointF at) const override;
    QPoint clientPosition(const QWidget* from, QPointF at) const;

    Dialogs& dialogs_;
    // The map and all done to it; the window holds references into it and owns no map state.
    MapDocument* const doc_;
    std::unique_ptr<ResultReport> results_;
    std::unique_ptr<AutoAssemblyCommand> assembly_;
    MainControls controls_;
    EditingState editing_;
    std::unique_ptr<Canvas> canvas_;
    std::unique_ptr<EditingTools> tools_;
    MainMenus* menus_ = nullptr;
    MapPictureBox* mapPicture_ = nullptr;
    CanvasScrolling* scrolling_ = nullptr;
    TileChooser* chooser_ = nullptr;
    HintTracker* hints_ = nullptr;
    QPointer<TileListWindow> tileList_;
    QPointer<PreviewWindow> preview_;
    QPointer<HistoryWindow> history_;
    QPointer<HelpWindow> manual_;
    std::function<void(int)> quit_;
    std::function<void(int)> leave_;
    bool closing_ = false;  // Yes was answered to the exit question
    QPoint canvasOrigin_;
};

}  // namespace tessera
