// The changes of generated references, and how an assembly of a generated map came out.
#include "support/SliceMapGenerator.h"

#include "assembly/AutoAssembly.h"

#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

namespace tessera {
namespace {

// A line of blocky glyphs, white with a dark edge, across the middle of the picture.
void drawWatermark(QImage& image, int glyphs, quint32 seed)
{
    const int pixel = std::max(1, image.height() / 125);
    QRandomGenerator random(seed);
    const int glyphWidth = 6 * pixel, x0 = std::max(0, (image.width() - glyphs * glyphWidth) / 2), y0 = image.height() / 2;
    for (int g = 0; g < glyphs; ++g)
        for (int bit = 0; bit < 35; ++bit) {
            if (!(random.generate() & 1))
                continue;
            const int x = x0 + g * glyphWidth + bit % 5 * pixel, y = y0 + bit / 5 * pixel;
            for (int dy = -1; dy <= pixel; ++dy)
                for (int dx = -1; dx <= pixel; ++dx)
                    if (QRect(0, 0, image.width(), image.height()).contains(x + dx, y + dy)) {
                        const bool edge = dx < 0 || dy < 0 || dx == pixel || dy == pixel;
                        const QRgb old = image.pixel(x + dx, y + dy);
                        if (!edge || old != qRgb(255, 255, 255))
                            image.setPixel(x + dx, y + dy, edge ? qRgb(30, 30, 30) : qRgb(255, 255, 255));
                    }
        }
}

}  // namespace

QImage alterReference(QImage image, const SliceMapOptions& options)
{
    if (options.brightness != 1 || options.contrast != 1 || options.gamma != 1) {
        uchar levels[256];
        for (int v = 0; v < 256; ++v) {
            const double spread = std::clamp((v * options.brightness - 128) * options.contrast + 128, 0.0, 255.0);
            const double changed = 255 * std::pow(spread / 255, options.gamma);
            levels[v] = static_cast<uchar>(std::clamp(std::lround(changed), 0L, 255L));
        }
        for (int y = 0; y < image.height(); ++y) {
            uchar* line = image.scanLine(y);
            for (int i = 0; i < image.width() * 3; ++i)
                line[i] = levels[line[i]];
        }
    }
    if (options.watermark > 0)
        drawWatermark(image, options.watermark, options.seed);
    const int left = static_cast<int>(std::lround(image.width() * options.cropLeft));
    const int right = static_cast<int>(std::lround(image.width() * options.cropRight));
    const int top = static_cast<int>(std::lround(image.height() * options.cropTop));
    if (left > 0 || right > 0 || top > 0)
        image = image.copy(left, top, image.width() - left - right, image.height() - top);
    if (options.stretch != 1 || options.stretchHeight != 1)
        image = image.scaled(static_cast<int>(std::lround(image.width() * options.stretch)),
                             static_cast<int>(std::lround(image.height() * options.stretchHeight)), Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation)
                    .convertToFormat(QImage::Format_RGB888);
    if (options.border > 0) {
        QImage framed(image.width() + 2 * options.border, image.height() + 2 * options.border, QImage::Format_RGB888);
        framed.fill(QColor(40, 30, 20));
        for (int y = 0; y < image.height(); ++y)
            std::copy_n(image.constScanLine(y), image.width() * 3, framed.scanLine(y + options.border) + options.border * 3);
        image = framed;
    }
    return image;
}

AssemblyTally tallyAssembly(const GeneratedMap& map, const AssemblyResult& result)
{
    QHash<QString, const GeneratedSlice*> byPath;
    QHash<qint64, const GeneratedSlice*> byCell;
    for (const GeneratedSlice& s : map.slices) {
        byPath.insert(QFileInfo(s.path).absoluteFilePath(), &s);
        byCell.insert(static_cast<qint64>(s.row) * 100000 + s.column, &s);
    }
    AssemblyTally tally;
    for (const AssemblyPlacement& p : result.placements) {
        const GeneratedSlice* placed = byPath.value(QFileInfo(p.path).absoluteFilePath());
        const GeneratedSlice* expected = byCell.value(static_cast<qint64>(p.row) * 100000 + p.column);
        const bool right = placed && expected && (placed == expected || meanAbsoluteDifference(placed->path, expected->path) < 3);
        ++tally.placements;
        tally.right += right;
        tally.rightSure += right && !p.doubtful();
        tally.wrongSure += !right && !p.doubtful();
    }
    return tally;
}

int rightPlacements(const GeneratedMap& map, const AssemblyResult& result)
{
    return tallyAssembly(map, result).right;
}

std::vector<ReferenceCase> referenceCases(int rows, int columns)
{
    SliceMapOptions base;
    base.rows = rows;
    base.columns = columns;
    std::vector<ReferenceCase> cases;
    auto add = [&](const char* name, quint32 seed, auto change) {
        SliceMapOptions options = base;
        options.seed = seed;
        change(options);
        cases.push_back({name, options});
    };
    add("watermark", 101, [](SliceMapOptions& o) { o.watermark = 8; });
    add("crop2", 102, [](SliceMapOptions& o) { o.cropRight = 0.02; });
    add("crop5stretch3", 108, [](SliceMapOptions& o) {
        o.cropLeft = 0.05;
        o.cropTop = 0.03;
        o.stretch = 1.03;
    });
    add("border", 103, [](SliceMapOptions& o) { o.border = 8; });
    add("bright10", 104, [](SliceMapOptions& o) { o.brightness = 1.1; });
    add("contrast80", 109, [](SliceMapOptions& o) { o.contrast = 0.8; });
    add("gamma14", 110, [](SliceMapOptions& o) { o.gamma = 1.4; });
    add("taller3", 111, [](SliceMapOptions& o) { o.stretchHeight = 1.03; });
    add("painting25", 105, [](SliceMapOptions& o) {
        o.painting = true;
        o.referenceScale = 25;
    });
    add("quality30", 106, [](SliceMapOptions& o) { o.referenceQuality = 30; });
    add("scale40", 107, [](SliceMapOptions& o) { o.referenceScale = 40; });
    return cases;
}

}  // namespace tessera
