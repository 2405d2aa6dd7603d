#pragma once

#include "app/MainLayout.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QToolButton;
class QTreeView;
class QWidget;

namespace tessera {

class LowerPanelTabs;
class ProgressBar;
class StatusBar;
class ToolRadio;

// The main window's controls, by role, each built in its place and state at start-up. The ruler
// board and the canvas belong to the canvas, which is made inside `viewport` after the build and
// fills in their two fields.
struct MainControls {
    // Builds every control on `client`.
    static MainControls build(QWidget* client);

    // The geometry of the controls as they stand, and the controls set to another.
    MainGeometry geometry() const;
    void apply(const MainGeometry& g);

    QWidget* toolBarPanel = nullptr;
    ToolRadio* toolRadios[5] = {};
    QCheckBox* showRuler = nullptr;
    QCheckBox* showGrid = nullptr;
    QToolButton* undoButton = nullptr;
    QToolButton* refreshButton = nullptr;
    QToolButton* previewButton = nullptr;
    QRadioButton* size40x30 = nullptr;
    QRadioButton* size40x16 = nullptr;
    QWidget* viewport = nullptr;
    QWidget* rulerBoard = nullptr;
    QWidget* editCanvas = nullptr;
    QToolButton* newMapButton = nullptr;
    QScrollBar* hScroll = nullptr;
    QScrollBar* vScroll = nullptr;
    QLabel* followImage = nullptr;
    LowerPanelTabs* tabs = nullptr;
    QPlainTextEdit* usageNotes = nullptr;
    QComboBox* driveList = nullptr;
    QTreeView* folderList = nullptr;
    QListWidget* tileFileList = nullptr;
    QLabel* tilePreview = nullptr;
    QPushButton* panelToggle = nullptr;
    QLabel* mapPicture = nullptr;
    QPushButton* loadMapPicture = nullptr;
    StatusBar* statusBar = nullptr;
    ProgressBar* progressBar = nullptr;

private:
    void buildTopRow(QWidget* client);
    void buildToolRadios();
    void buildCanvasArea(QWidget* client);
    void buildLowerPanel(QWidget* client);
};

}  // namespace tessera
