#pragma once

#include <QWidget>

namespace tessera {

// "预览": the whole map in a window of its own, at the screen's top-left corner.
class PreviewWindow : public QWidget {
    Q_OBJECT

public:
    explicit PreviewWindow(QWidget* parent = nullptr);

    QWidget* frame() const { return frame_; }
    QWidget* image() const { return image_; }

private:
    QWidget* frame_;
    QWidget* image_;
};

}  // namespace tessera
