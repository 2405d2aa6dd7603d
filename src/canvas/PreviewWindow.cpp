#include "canvas/PreviewWindow.h"

namespace tessera {

PreviewWindow::PreviewWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      frame_(new QWidget(this)), image_(new QWidget(frame_))
{
    setObjectName(QStringLiteral("PreviewWindow"));
    setWindowTitle(QStringLiteral("预览"));
    setAccessibleName(windowTitle());
    setAttribute(Qt::WA_DeleteOnClose);
    frame_->setObjectName(QStringLiteral("PreviewFrame"));
    frame_->setAccessibleName(QStringLiteral("预览框"));
    frame_->setGeometry(112, 40, 112, 144);
    image_->setObjectName(QStringLiteral("PreviewImage"));
    image_->setAccessibleName(QStringLiteral("全图预览"));
    image_->setGeometry(8, 8, 88, 80);
    setFixedSize(395, 307);
    move(0, 0);
}

}  // namespace tessera
