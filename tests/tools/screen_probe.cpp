// Grabs the screen (or a rectangle of it) of the running X server into a PNG file and prints how
// many distinct colours it holds: "size WxH" and "colors N".
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QSet>

#include <cstdio>

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2 && argc != 6) {
        std::fprintf(stderr, "usage: screen_probe OUT.png [X Y W H]\n");
        return 2;
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 3;
    QPixmap shot = argc == 6 ? screen->grabWindow(0, atoi(argv[2]), atoi(argv[3]), atoi(argv[4]), atoi(argv[5]))
                             : screen->grabWindow(0);
    const QImage image = shot.toImage();
    if (!image.save(QString::fromLocal8Bit(argv[1])))
        return 4;
    QSet<QRgb> colors;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            colors.insert(image.pixel(x, y));
    std::printf("size %dx%d\ncolors %lld\n", image.width(), image.height(), static_cast<long long>(colors.size()));
    return 0;
}
