#include "app/MainWindow.h"
#include "app/Startup.h"
#include "gui/QtPlatform.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    tessera::setUpApplication(app);
    tessera::QtPlatform platform;
    tessera::MainWindow window(platform);
    platform.setDialogParent(&window);
    window.show();
    return QApplication::exec();
}
