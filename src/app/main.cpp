#include <QApplication>
#include <QLibraryInfo>
#include <QMainWindow>
#include <QTranslator>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // Qt's own Chinese texts, so that standard buttons read "是", "否", "确定", "取消".
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                          QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    QMainWindow window;
    window.setObjectName(QStringLiteral("MainWindow"));
    window.setWindowTitle(QStringLiteral("青石地图编辑器1.0正式版"));
    window.resize(900, 600);
    window.show();
    return QApplication::exec();
}
