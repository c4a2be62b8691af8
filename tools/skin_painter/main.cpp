// skin_painter: draws the player's dark-blue skin into PNG files, one per image slot, and
// the program's icon for the desktop's icon theme at its usual sizes and as SVG.
// Run once after changing the artwork: skin_painter resources/skin resources/icons
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

const QColor kDeep(6, 12, 38);
const QColor kNavy(14, 26, 72);
const QColor kPanel(20, 36, 96);
const QColor kEdge(58, 86, 170);
const QColor kGlyph(190, 225, 255);
const QColor kCyan(0, 255, 255);
const QColor kStarGround(24, 24, 123);

QString g_folder;

void save(const QString& name, int w, int h, const std::function<void(QPainter&)>& draw) {
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    draw(p);
    p.end();
    if (!image.save(g_folder + "/" + name + ".png")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
    }
}

QLinearGradient vertical(int h, QColor top, QColor bottom) {
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    return g;
}

// A recessed well, as behind the time display and the text fields.
void well(QPainter& p, QRectF r) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(3, 6, 22));
    p.drawRoundedRect(r, 2, 2);
    p.setPen(QColor(40, 60, 130));
    p.setBrush(Qt::NoBrush);
    p.drawLine(r.bottomLeft() + QPointF(1, 0), r.bottomRight() - QPointF(1, 0));
    p.setPen(QColor(0, 0, 8));
    p.drawLine(r.topLeft() + QPointF(1, 0), r.topRight() - QPointF(1, 0));
}

void normalBackground(QPainter& p) {
    const int w = 325, h = 348;
    p.fillRect(0, 0, w, h, vertical(117, kPanel, kNavy));
    p.fillRect(0, 117, w, h - 117, kDeep);
    // Title strip under the window buttons.
    p.fillRect(2, 2, w - 4, 12, vertical(12, QColor(40, 64, 150), QColor(18, 32, 90)));
    p.setPen(kGlyph);
    QFont font("DejaVu Sans", 6);
    font.setPixelSize(8);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRect(20, 2, 240, 12), Qt::AlignVCenter | Qt::AlignLeft, "SONARCH  CD PLAYER");
    well(p, QRectF(132, 16, 92, 22));    // status pictures and track numbers
    well(p, QRectF(224, 17, 80, 33));    // time display and track
    well(p, QRectF(16, 28, 118, 16));    // status text
    well(p, QRectF(31, 41, 277, 46));    // title, artist, album
    well(p, QRectF(5, 95, 187, 20));     // transport
    well(p, QRectF(13, 124, 300, 218));  // lower area
    p.setPen(kEdge);
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, w - 1, 116);
    p.drawRect(0, 0, w - 1, h - 1);
}

void barBackground(QPainter& p) {
    const int w = 325, h = 16;
    p.fillRect(0, 0, w, h, vertical(h, QColor(30, 52, 130), kDeep));
    p.setPen(kEdge);
    p.drawRect(0, 0, w - 1, h - 1);
    well(p, QRectF(31, 1, 148, 11));
}

// Transport glyphs, drawn on a w x h button.
enum class Glyph { Prev, Play, Pause, Stop, Next, Eject, Rew, Ff };

void drawTriangle(QPainter& p, QPointF at, double size, bool right) {
    QPainterPath path;
    const double dir = right ? 1 : -1;
    path.moveTo(at.x() - dir * size / 2, at.y() - size / 2);
    path.lineTo(at.x() + dir * size / 2, at.y());
    path.lineTo(at.x() - dir * size / 2, at.y() + size / 2);
    path.closeSubpath();
    p.drawPath(path);
}

void drawGlyph(QPainter& p, Glyph glyph, QRectF r, QColor colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const QPointF c = r.center();
    const double s = std::min(r.width(), r.height()) * 0.62;
    switch (glyph) {
        case Glyph::Play:
            drawTriangle(p, c, s, true);
            break;
        case Glyph::Pause:
            p.drawRect(QRectF(c.x() - s / 2, c.y() - s / 2, s / 3, s));
            p.drawRect(QRectF(c.x() + s / 6, c.y() - s / 2, s / 3, s));
            break;
        case Glyph::Stop:
            p.drawRect(QRectF(c.x() - s / 2, c.y() - s / 2, s, s));
            break;
        case Glyph::Rew:
            drawTriangle(p, c - QPointF(s / 4, 0), s * 0.8, false);
            drawTriangle(p, c + QPointF(s / 4, 0), s * 0.8, false);
            break;
        case Glyph::Ff:
            drawTriangle(p, c - QPointF(s / 4, 0), s * 0.8, true);
            drawTriangle(p, c + QPointF(s / 4, 0), s * 0.8, true);
            break;
        case Glyph::Prev:
            p.drawRect(QRectF(c.x() - s * 0.7, c.y() - s * 0.4, s * 0.18, s * 0.8));
            drawTriangle(p, c - QPointF(s * 0.15, 0), s * 0.8, false);
            drawTriangle(p, c + QPointF(s * 0.3, 0), s * 0.8, false);
            break;
        case Glyph::Next:
            drawTriangle(p, c - QPointF(s * 0.3, 0), s * 0.8, true);
            drawTriangle(p, c + QPointF(s * 0.15, 0), s * 0.8, true);
            p.drawRect(QRectF(c.x() + s * 0.52, c.y() - s * 0.4, s * 0.18, s * 0.8));
            break;
        case Glyph::Eject: {
            QPainterPath path;
            path.moveTo(c.x(), c.y() - s / 2);
            path.lineTo(c.x() + s / 2, c.y() + s * 0.1);
            path.lineTo(c.x() - s / 2, c.y() + s * 0.1);
            path.closeSubpath();
            p.drawPath(path);
            p.drawRect(QRectF(c.x() - s / 2, c.y() + s * 0.25, s, s * 0.22));
            break;
        }
    }
}

void transportButton(const QString& name, int w, int h, Glyph glyph, bool pressed) {
    save(name, w, h, [=](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r(0.5, 0.5, w - 1, h - 1);
        p.setPen(pressed ? QColor(10, 20, 60) : kEdge);
        p.setBrush(pressed ? vertical(h, QColor(10, 20, 60), QColor(30, 50, 120))
                           : vertical(h, QColor(56, 84, 170), QColor(18, 32, 88)));
        p.drawRoundedRect(r, 2.5, 2.5);
        const QRectF inner =
            r.adjusted(2, 1.5, -2, -1.5).translated(pressed ? 0.5 : 0, pressed ? 0.5 : 0);
        drawGlyph(p, glyph, inner, pressed ? kCyan : kGlyph);
    });
}

void smallButton(const QString& name, int size, Glyph glyph) {
    save(name, size, size, [=](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 50, 120));
        p.drawRoundedRect(QRectF(0, 0, size, size), 1.5, 1.5);
        drawGlyph(p, glyph, QRectF(0.5, 0.5, size - 1, size - 1), kGlyph);
    });
}

// Window and view buttons on a 9 x 9 plate.
void plate(const QString& name, const std::function<void(QPainter&)>& glyph) {
    save(name, 9, 9, [=](QPainter& p) {
        p.setPen(QColor(70, 100, 190));
        p.setBrush(vertical(9, QColor(50, 76, 160), QColor(20, 34, 92)));
        p.drawRect(0, 0, 8, 8);
        p.setPen(kGlyph);
        p.setBrush(kGlyph);
        glyph(p);
    });
}

void arrow(const QString& name, bool up, QColor colour) {
    save(name, 5, 5, [=](QPainter& p) {
        p.setPen(colour);
        for (int row = 0; row < 3; ++row) {
            const int y = up ? 1 + row : 3 - row;
            p.drawLine(2 - row, y, 2 + row, y);
        }
    });
}

void star(const QString& name, bool half) {
    save(name, 8, 8, [=](QPainter& p) {
        p.fillRect(0, 0, 8, 8, kStarGround);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        for (int i = 0; i < 10; ++i) {
            const double radius = i % 2 ? 1.6 : 3.9;
            const double angle = -M_PI / 2 + i * M_PI / 5;
            const QPointF point(4 + radius * std::cos(angle), 4.2 + radius * std::sin(angle));
            i ? path.lineTo(point) : path.moveTo(point);
        }
        path.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 0));
        if (half) {
            p.setClipRect(0, 0, 4, 8);
        }
        p.drawPath(path);
    });
}

void indicator(const QString& name, Glyph glyph, QColor colour) {
    save(name, 10, 10, [=](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing);
        drawGlyph(p, glyph, QRectF(0, 0, 10, 10), colour);
    });
}

// The disc's shine from its centre outwards; the rim colour comes last.
const struct {
    double at;
    QColor colour;
} kDiscShine[] = {
    {0.0, QColor(230, 240, 255)}, {0.35, QColor(120, 170, 255)}, {0.7, QColor(60, 90, 200)}};

void disc(QPainter& p, QRectF r, QColor rim) {
    QRadialGradient g(r.center(), r.width() / 2);
    for (const auto& stop : kDiscShine) {
        g.setColorAt(stop.at, stop.colour);
    }
    g.setColorAt(1.0, rim);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(r);
    p.setBrush(kDeep);
    const double hole = r.width() * 0.16;
    p.drawEllipse(r.center(), hole, hole);
}

// The program's icon on a 64 x 64 grid: a disc on a rounded dark-blue tile.
constexpr double kIconGrid = 64;
constexpr double kIconCorner = 12;
const QRectF kIconDisc(8, 8, 48, 48);
const QColor kIconRim(20, 40, 120);

void appIcon(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(int(kIconGrid), kPanel, kDeep));
    p.drawRoundedRect(QRectF(0, 0, kIconGrid, kIconGrid), kIconCorner, kIconCorner);
    disc(p, kIconDisc, kIconRim);
}

// The same drawing as SVG, for the theme's scalable size.
QByteArray appIconSvg() {
    const double r = kIconDisc.width() / 2;
    const QPointF c = kIconDisc.center();
    QString shine;
    for (const auto& stop : kDiscShine) {
        shine += QString("      <stop offset=\"%1\" stop-color=\"%2\"/>\n")
                     .arg(stop.at)
                     .arg(stop.colour.name());
    }
    return QString(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
               "viewBox=\"0 0 %1 %1\">\n"
               "  <defs>\n"
               "    <linearGradient id=\"tile\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"%1\" "
               "gradientUnits=\"userSpaceOnUse\">\n"
               "      <stop offset=\"0\" stop-color=\"%3\"/>\n"
               "      <stop offset=\"1\" stop-color=\"%4\"/>\n"
               "    </linearGradient>\n"
               "    <radialGradient id=\"disc\" cx=\"%5\" cy=\"%6\" r=\"%7\" "
               "gradientUnits=\"userSpaceOnUse\">\n"
               "%8"
               "      <stop offset=\"1\" stop-color=\"%9\"/>\n"
               "    </radialGradient>\n"
               "  </defs>\n"
               "  <rect width=\"%1\" height=\"%1\" rx=\"%2\" ry=\"%2\" fill=\"url(#tile)\"/>\n"
               "  <circle cx=\"%5\" cy=\"%6\" r=\"%7\" fill=\"url(#disc)\"/>\n"
               "  <circle cx=\"%5\" cy=\"%6\" r=\"%10\" fill=\"%4\"/>\n"
               "</svg>\n")
        .arg(kIconGrid)
        .arg(kIconCorner)
        .arg(kPanel.name(), kDeep.name())
        .arg(c.x())
        .arg(c.y())
        .arg(r)
        .arg(shine, kIconRim.name())
        .arg(kIconDisc.width() * 0.16)
        .toUtf8();
}

// hicolor/NxN/apps/NAME.png for each usual size, and hicolor/scalable/apps/NAME.svg.
void saveThemeIcons(const QString& folder, const QString& name) {
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString apps = QString("%1/hicolor/%2x%2/apps").arg(folder).arg(size);
        QDir().mkpath(apps);
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.scale(size / kIconGrid, size / kIconGrid);
        appIcon(p);
        p.end();
        if (!image.save(apps + "/" + name + ".png")) {
            std::fprintf(stderr, "cannot write the %dx%d icon\n", size, size);
        }
    }
    const QString scalable = folder + "/hicolor/scalable/apps";
    QDir().mkpath(scalable);
    QFile svg(scalable + "/" + name + ".svg");
    if (!svg.open(QIODevice::WriteOnly | QIODevice::Truncate) || svg.write(appIconSvg()) < 0) {
        std::fprintf(stderr, "cannot write the scalable icon\n");
    }
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    g_folder = argc > 1 ? argv[1] : "resources/skin";
    QDir().mkpath(g_folder);

    save("picNormal", 325, 348, normalBackground);
    save("BarMode", 325, 16, barBackground);

    const struct {
        int number;
        Glyph glyph;
        int w, h, wa, ha;
    } buttons[] = {{1, Glyph::Prev, 22, 13, 22, 13},  {2, Glyph::Play, 22, 13, 22, 13},
                   {3, Glyph::Pause, 22, 13, 22, 13}, {4, Glyph::Stop, 22, 13, 22, 13},
                   {5, Glyph::Next, 20, 13, 21, 13},  {6, Glyph::Eject, 21, 14, 21, 14},
                   {7, Glyph::Rew, 22, 13, 22, 13},   {8, Glyph::Ff, 22, 13, 22, 13}};
    for (const auto& b : buttons) {
        transportButton(QString("p%1").arg(b.number), b.w, b.h, b.glyph, false);
        transportButton(QString("p%1a").arg(b.number), b.wa, b.ha, b.glyph, true);
    }
    const struct {
        const char* name;
        Glyph glyph;
    } barButtons[] = {{"picBarprev", Glyph::Prev}, {"picBarrew", Glyph::Rew},
                      {"picBarplay", Glyph::Play}, {"picBarpause", Glyph::Pause},
                      {"picBarstop", Glyph::Stop}, {"picBarff", Glyph::Ff},
                      {"picBarnext", Glyph::Next}};
    for (const auto& b : barButtons) {
        smallButton(b.name, 9, b.glyph);
    }

    arrow("un", true, kGlyph);
    arrow("uh", true, kCyan);
    arrow("dn", false, kGlyph);
    arrow("dh", false, kCyan);

    auto groove = [](const QString& name, int w, int h, QColor light) {
        save(name, w, h, [=](QPainter& p) {
            p.fillRect(0, 0, w, h, QColor(4, 8, 28));
            p.setPen(light);
            p.setBrush(Qt::NoBrush);
            p.drawRect(0, 0, w - 1, h - 1);
        });
    };
    groove("sBarNormal", 264, 4, QColor(40, 62, 140));
    groove("sBarOver", 264, 4, QColor(0, 200, 230));
    groove("picVolNormal", 6, 51, QColor(40, 62, 140));
    groove("picVolOver", 6, 51, QColor(0, 200, 230));

    // The window folded up to its top strip (the minimise button's line is at the bottom).
    plate("picbarNorm", [](QPainter& p) {
        p.drawLine(2, 2, 6, 2);
        p.drawLine(2, 3, 6, 3);
    });
    plate("picbarRest", [](QPainter& p) { p.drawRect(2, 2, 4, 4); });
    plate("picex", [](QPainter& p) {
        p.drawLine(2, 3, 6, 3);
        p.drawLine(3, 4, 5, 4);
        p.drawPoint(4, 5);
    });
    plate("picclose", [](QPainter& p) {
        p.drawLine(2, 5, 6, 5);
        p.drawLine(3, 4, 5, 4);
        p.drawPoint(4, 3);
    });
    plate("Picture6", [](QPainter& p) { p.drawLine(2, 6, 6, 6); });
    plate("Picture7", [](QPainter& p) {
        p.drawLine(2, 2, 6, 6);
        p.drawLine(6, 2, 2, 6);
    });
    plate("Command1", [](QPainter& p) {
        p.drawLine(2, 2, 6, 2);
        p.drawLine(2, 4, 6, 4);
        p.drawLine(2, 6, 6, 6);
    });

    star("ps", false);
    star("phs", true);

    indicator("picStop", Glyph::Stop, QColor(255, 90, 90));
    indicator("picPause", Glyph::Pause, QColor(255, 210, 80));
    indicator("PicPlay", Glyph::Play, QColor(90, 255, 120));

    auto icon12 = [](const QString& name, const std::function<void(QPainter&)>& draw) {
        save(name, 12, 12, [=](QPainter& p) {
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QColor(70, 100, 190));
            p.setBrush(vertical(12, QColor(50, 76, 160), QColor(20, 34, 92)));
            p.drawRoundedRect(QRectF(0.5, 0.5, 11, 11), 2, 2);
            p.setPen(QPen(kGlyph, 1));
            p.setBrush(Qt::NoBrush);
            draw(p);
        });
    };
    icon12("Picture4", [](QPainter& p) {  // refresh: a circular arrow
        p.drawArc(QRectF(3, 3, 6, 6), 30 * 16, 280 * 16);
        p.setBrush(kGlyph);
        QPainterPath head;
        head.moveTo(8.5, 2.5);
        head.lineTo(10, 5.5);
        head.lineTo(7, 5.2);
        head.closeSubpath();
        p.drawPath(head);
    });
    icon12("Picture2", [](QPainter& p) {  // album comment: a disc with a note line
        p.drawEllipse(QRectF(2.5, 2.5, 7, 7));
        p.drawPoint(QPointF(6, 6));
    });
    icon12("Picture1", [](QPainter& p) {  // track comment: a page with lines
        p.drawRect(QRectF(3.5, 2.5, 5, 7));
        p.drawLine(QPointF(4.5, 4.5), QPointF(7.5, 4.5));
        p.drawLine(QPointF(4.5, 6.5), QPointF(7.5, 6.5));
    });
    save("Picture3", 8, 8, [](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing);
        QRadialGradient g(QPointF(3.5, 3.5), 4);
        g.setColorAt(0, QColor(160, 255, 255));
        g.setColorAt(1, QColor(0, 90, 140));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawEllipse(QRectF(0.5, 0.5, 7, 7));
    });
    save("pLogo", 13, 13, [](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing);
        disc(p, QRectF(0.5, 0.5, 12, 12), QColor(20, 40, 120));
    });
    save("ImageList1", 16, 16, [](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing);
        disc(p, QRectF(2, 2, 12, 12), QColor(20, 40, 120));
    });
    save("icon", 64, 64, appIcon);
    // The name the options' per-user registration gives the icon, too.
    saveThemeIcons(argc > 2 ? argv[2] : "resources/icons", "sonarch-qvplayer");
    return 0;
}
