// skin_pack: turns the skin's PNG files into C++ arrays of ready-made pixels, so the player
// shows its pictures without decoding 50 PNGs at every start.
//   skin_pack OUT.cpp PICTURE.png...
// Each picture becomes 32-bit pixels in the format the window's pixmaps use: premultiplied
// ARGB where some pixel is not opaque, RGB32 otherwise.
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

struct Picture {
    QString name;
    QImage image;  // premultiplied ARGB or RGB32, as the player takes it
};

bool hasTranslucentPixel(const QImage& argb) {
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        if (std::any_of(row, row + argb.width(), [](QRgb p) { return qAlpha(p) != 255; })) {
            return true;
        }
    }
    return false;
}

// The name goes into a C++ string literal: letters, digits, '_' and '-' only.
bool isPlainName(const QString& name) {
    return !name.isEmpty() && std::all_of(name.begin(), name.end(), [](QChar c) {
        return (c.isLetterOrNumber() && c.unicode() < 128) || c == '_' || c == '-';
    });
}

std::optional<Picture> readPicture(const QString& path) {
    QImage image(path);
    const QString name = QFileInfo(path).completeBaseName();
    if (image.isNull() || !isPlainName(name)) {
        return std::nullopt;
    }
    const bool alpha = hasTranslucentPixel(image.convertToFormat(QImage::Format_ARGB32));
    return Picture{name, image.convertToFormat(alpha ? QImage::Format_ARGB32_Premultiplied
                                                     : QImage::Format_RGB32)};
}

QByteArray pixelArray(int index, const QImage& image) {
    QByteArray text = "const std::uint32_t kPixels" + QByteArray::number(index) + "[] = {";
    int column = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            text += (column++ % 8 == 0) ? "\n    " : " ";
            text += "0x" + QByteArray::number(row[x], 16).rightJustified(8, '0') + "u,";
        }
    }
    return text + "\n};\n";
}

QByteArray source(const std::vector<Picture>& pictures) {
    QByteArray text =
        "// Made by skin_pack from resources/skin; change the PNG files, not this.\n"
        "#include \"ui/skin_pictures.h\"\n\nnamespace sonarch {\nnamespace {\n\n";
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        text += pixelArray(int(i), pictures[i].image);
    }
    text += "\nconst SkinPicture kPictures[] = {\n";
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const Picture& p = pictures[i];
        text += "    {\"" + p.name.toUtf8() + "\", " + QByteArray::number(p.image.width()) + ", " +
                QByteArray::number(p.image.height()) + ", " +
                (p.image.hasAlphaChannel() ? "true" : "false") + ", kPixels" +
                QByteArray::number(int(i)) + "},\n";
    }
    text +=
        "};\n\n}  // namespace\n\n"
        "std::span<const SkinPicture> SkinPictures() { return kPictures; }\n\n"
        "}  // namespace sonarch\n";
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: skin_pack OUT.cpp PICTURE.png...\n");
        return 2;
    }
    std::vector<Picture> pictures;
    for (int i = 2; i < argc; ++i) {
        auto picture = readPicture(QString::fromLocal8Bit(argv[i]));
        if (!picture) {
            std::fprintf(stderr, "skin_pack: cannot read %s, or its name is not plain\n", argv[i]);
            return 1;
        }
        pictures.push_back(std::move(*picture));
    }
    // Sorted, so the player finds a picture by halving the table.
    std::sort(pictures.begin(), pictures.end(),
              [](const Picture& a, const Picture& b) { return a.name.toUtf8() < b.name.toUtf8(); });
    QFile out(QString::fromLocal8Bit(argv[1]));
    const QByteArray text = source(pictures);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(text) != text.size()) {
        std::fprintf(stderr, "skin_pack: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
