#pragma once

#include <QImage>
#include <QObject>

class QLabel;
class QWidget;

namespace tessera {

class Dialogs;

// The box of the whole map's reference picture (载入原大地图): shows the loaded picture at actual
// size from its top-left corner, and a left click enlarges it over the canvas or puts it back.
class MapPictureBox : public QObject {
    Q_OBJECT

public:
    // `box` is the label that shows the picture; `onTop` stays above it when it is enlarged;
    // `lowerPanel` is where it goes back to.
    MapPictureBox(QLabel* box, QWidget* onTop, const QWidget* lowerPanel, Dialogs& dialogs);

    // Asks for the picture and shows it.
    void load();
    // Shows the picture at `path` (nothing when it cannot be read).
    void show(const QString& path);
    // The picture shown, or empty.
    const QString& path() const { return path_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void toggle();
    void refresh();

    QLabel* box_;
    QWidget* onTop_;
    const QWidget* lowerPanel_;
    Dialogs& dialogs_;
    QImage corner_;  // the part of the picture the enlarged box can show
    QString path_;   // the file corner_ was read from
};

}  // namespace tessera
