// Draws Harvex's own artwork (wizard pictures, animations, icons) into
// resources/images, and the program's icon for the hicolor theme (PNG sizes and
// SVG) into resources/icons. Run it once after changing a picture:
//   g++ -std=c++20 -fPIC make_artwork.cpp $(pkg-config --cflags --libs Qt6Gui Qt6Svg) -o
//   make_artwork QT_QPA_PLATFORM=offscreen ./make_artwork ../images ../icons
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSvgGenerator>
#include <cmath>
#include <cstdio>

namespace {

QString outDir;

void save(const QImage& image, const char* name) {
    const QString path = outDir + "/" + name;
    if (!image.save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

void drawGlobe(QPainter& p, QPointF c, double r) {
    QRadialGradient g(c - QPointF(r / 3, r / 3), r * 1.4);
    g.setColorAt(0, QColor(120, 200, 255));
    g.setColorAt(1, QColor(10, 60, 150));
    p.setBrush(g);
    p.setPen(QPen(QColor(5, 30, 80), 1.2));
    p.drawEllipse(c, r, r);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(200, 235, 255, 170), 0.9));
    for (double k : {0.35, 0.7}) p.drawEllipse(c, r * k, r);
    p.drawLine(QPointF(c.x(), c.y() - r), QPointF(c.x(), c.y() + r));
    for (double k : {-0.5, 0.0, 0.5}) {
        const double y = c.y() + k * r;
        const double half = std::sqrt(std::max(0.0, r * r - (k * r) * (k * r)));
        p.drawLine(QPointF(c.x() - half, y), QPointF(c.x() + half, y));
    }
}

void drawFolder(QPainter& p, QRectF r) {
    QPainterPath tab;
    tab.addRoundedRect(QRectF(r.left(), r.top(), r.width() * 0.45, r.height() * 0.3), 2, 2);
    p.setPen(QPen(QColor(120, 80, 0), 1));
    p.setBrush(QColor(230, 170, 40));
    p.drawPath(tab);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(255, 220, 110));
    g.setColorAt(1, QColor(225, 160, 30));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(r.left(), r.top() + r.height() * 0.18, r.width(), r.height() * 0.82),
                      2, 2);
}

void drawPage(QPainter& p, QRectF r) {
    p.setPen(QPen(QColor(60, 60, 60), 0.8));
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.setPen(QPen(QColor(90, 120, 200), 0.8));
    for (double y = r.top() + r.height() * 0.25; y < r.bottom() - 1; y += r.height() * 0.2)
        p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
}

void drawWeb(QPainter& p, QPointF c, double r, QColor color) {
    p.setPen(QPen(color, 0.8));
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 8; ++i) {
        const double a = i * M_PI / 4;
        p.drawLine(c, c + QPointF(std::cos(a) * r, std::sin(a) * r));
    }
    for (double k = 0.25; k <= 1.0; k += 0.25) {
        QPolygonF ring;
        for (int i = 0; i <= 8; ++i) {
            const double a = i * M_PI / 4;
            ring << c + QPointF(std::cos(a) * r * k, std::sin(a) * r * k);
        }
        p.drawPolyline(ring);
    }
}

QImage wizardPicture() {
    QImage img(109, 176, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 176);
    sky.setColorAt(0, QColor(0, 0, 96));
    sky.setColorAt(1, QColor(40, 110, 200));
    p.setBrush(sky);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(0, 0, 109, 176), 6, 6);
    drawWeb(p, QPointF(18, 18), 34, QColor(200, 220, 255, 120));
    drawGlobe(p, QPointF(54, 52), 30);
    // pages travelling down to the folder
    p.setPen(QPen(QColor(255, 255, 255, 200), 1.5, Qt::DashLine));
    p.drawLine(QPointF(54, 86), QPointF(54, 118));
    drawPage(p, QRectF(30, 92, 14, 18));
    drawPage(p, QRectF(64, 98, 14, 18));
    drawFolder(p, QRectF(22, 122, 64, 42));
    return img;
}

QImage splashPicture() {
    QImage img(471, 285, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(0, 0, 471, 285);
    bg.setColorAt(0, QColor(235, 242, 255));
    bg.setColorAt(1, QColor(170, 195, 235));
    p.fillRect(img.rect(), bg);
    drawWeb(p, QPointF(90, 90), 110, QColor(80, 110, 170, 90));
    drawGlobe(p, QPointF(110, 140), 70);
    drawFolder(p, QRectF(200, 170, 70, 48));
    QFont f("DejaVu Sans", 40, QFont::Bold);
    p.setFont(f);
    p.setPen(QColor(0, 0, 128));
    p.drawText(QRectF(230, 50, 240, 70), Qt::AlignLeft | Qt::AlignVCenter, "Harvex");
    return img;
}

QImage creditsPicture() {
    QImage img(241, 347, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(0, 0, 0, 347);
    bg.setColorAt(0, QColor(20, 0, 60));
    bg.setColorAt(1, QColor(160, 20, 120));
    p.fillRect(img.rect(), bg);
    drawWeb(p, QPointF(120, 150), 120, QColor(255, 200, 255, 90));
    for (int i = 0; i < 40; ++i) {
        const double x = std::fmod(i * 53.7, 241.0), y = std::fmod(i * 91.3, 347.0);
        p.setPen(QPen(QColor(255, 255, 220, 200), 1.5));
        p.drawPoint(QPointF(x, y));
    }
    QFont f("DejaVu Sans", 22, QFont::Bold);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 250, 241, 60), Qt::AlignCenter, "Harvex crew");
    return img;
}

QImage openFileIcon() {
    QImage img(18, 16, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    drawFolder(p, QRectF(1, 2, 16, 12));
    return img;
}

// The program's icon, drawn on a 32 x 32 grid.
constexpr int kAppIconGrid = 32;

void drawAppIcon(QPainter& p) {
    drawGlobe(p, QPointF(14, 13), 11);
    drawFolder(p, QRectF(14, 18, 17, 12));
}

QImage appIcon(int size) {
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / double(kAppIconGrid), size / double(kAppIconGrid));
    drawAppIcon(p);
    return img;
}

// The same drawing as a scalable icon.
void saveAppIconSvg(const QString& path) {
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(QSize(kAppIconGrid, kAppIconGrid));
    svg.setViewBox(QRect(0, 0, kAppIconGrid, kAppIconGrid));
    svg.setTitle("Harvex");
    svg.setDescription("A globe whose pages go into a folder");
    QPainter p(&svg);
    p.setRenderHint(QPainter::Antialiasing);
    drawAppIcon(p);
}

// hicolor/<size>x<size>/apps/harvex.png for every size the menus ask for, and
// hicolor/scalable/apps/harvex.svg.
void saveThemeIcons(const QString& themeDir) {
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString dir = QString("%1/hicolor/%2x%2/apps").arg(themeDir).arg(size);
        QDir().mkpath(dir);
        const QString path = dir + "/harvex.png";
        if (!appIcon(size).save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    }
    const QString scalable = themeDir + "/hicolor/scalable/apps";
    QDir().mkpath(scalable);
    saveAppIconSvg(scalable + "/harvex.svg");
}

QImage anyFileIcon() {
    QImage img(16, 16, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    drawPage(p, QRectF(2.5, 1.5, 9, 12));
    drawPage(p, QRectF(5.5, 3.5, 9, 12));
    p.setPen(QPen(QColor(200, 0, 0), 1.6));
    p.drawText(QRectF(5, 4, 10, 11), Qt::AlignCenter, "*");
    return img;
}

// The e-mail animation: an envelope flying over a line of text, 12 frames.
QImage emailStrip() {
    const int w = 88, h = 34, frames = 12;
    QImage img(w * frames, h, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    for (int f = 0; f < frames; ++f) {
        p.save();
        p.translate(f * w, 0);
        p.setClipRect(0, 0, w, h);
        const double t = f / double(frames);
        const double x = 4 + 20 * std::sin(t * 2 * M_PI) + 20, y = 4 + 3 * std::cos(t * 4 * M_PI);
        p.setPen(QPen(QColor(40, 40, 90), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(x, y, 30, 18));
        p.drawLine(QPointF(x, y), QPointF(x + 15, y + 10));
        p.drawLine(QPointF(x + 30, y), QPointF(x + 15, y + 10));
        p.setPen(QPen(QColor(255, 140, 0, 180), 1.2));
        for (int k = 1; k <= 3; ++k)
            p.drawLine(QPointF(x - 3 * k - 2, y + 4 + 4 * k),
                       QPointF(x - 3 * k - 10, y + 4 + 4 * k));
        QFont font("DejaVu Sans", 6, QFont::Bold);
        p.setFont(font);
        p.setPen(QColor(0, 0, 128));
        p.drawText(QRectF(0, 24, w, 10), Qt::AlignCenter, "Email a friend...");
        p.restore();
    }
    return img;
}

// The progress animation: pages flying from a globe into a folder, 20 frames.
QImage progressStrip() {
    const int w = 276, h = 49, frames = 20;
    QImage img(w * frames, h, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    for (int f = 0; f < frames; ++f) {
        p.save();
        p.translate(f * w, 0);
        p.setClipRect(0, 0, w, h);
        drawGlobe(p, QPointF(28, 24), 20);
        drawFolder(p, QRectF(222, 8, 46, 34));
        for (int k = 0; k < 3; ++k) {
            const double t = std::fmod(f / double(frames) + k / 3.0, 1.0);
            const double x = 50 + t * 160, y = 22 - std::sin(t * M_PI) * 16;
            drawPage(p, QRectF(x, y, 12, 15));
        }
        p.restore();
    }
    return img;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    const QImage full = wizardPicture();
    save(full, "fullwiz.png");
    save(full.convertToFormat(QImage::Format_Indexed8), "stdwiz.png");
    save(splashPicture(), "splash.png");
    save(creditsPicture(), "credits.png");
    save(openFileIcon(), "openfile.png");
    save(appIcon(32), "harvex.png");
    save(appIcon(16), "credits-icon.png");
    save(anyFileIcon(), "anyfile.png");
    save(emailStrip(), "emailavi.png");
    save(progressStrip(), "aviprogress.png");
    saveThemeIcons(argc > 2 ? QString::fromLocal8Bit(argv[2]) : outDir + "/../icons");
    return 0;
}
