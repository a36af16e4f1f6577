// Saves the whole screen of the running X server as a PNG: the picture a person would see.
// With --colours it reads such a picture back and prints how many colours it holds (counting
// stops at 1000), so that a script can tell a drawn window from a flat screen.
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QSet>

#include <cstdio>
#include <cstring>

namespace {

int countColours(const char* path)
{
    const QImage image(QString::fromLocal8Bit(path));
    if (image.isNull()) {
        std::fprintf(stderr, "cannot read %s\n", path);
        return 1;
    }
    QSet<QRgb> colours;
    for (int y = 0; y < image.height() && colours.size() < 1000; y++)
        for (int x = 0; x < image.width(); x++) colours.insert(image.pixel(x, y) | 0xff000000u);
    std::printf("%lld\n", static_cast<long long>(colours.size()));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--colours") == 0) return countColours(argv[2]);
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: grab_screen OUT.png | grab_screen --colours IN.png\n");
        return 2;
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return 1;
    return screen->grabWindow(0).save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
