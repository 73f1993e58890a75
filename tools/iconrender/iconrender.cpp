// Renders the player's pictures into PNG/JPEG files and a .qrc that lists
// them under the resource paths the screens load:
//
//   iconrender MATERIAL_ICONS_TTF LATIN_BOLD_TTF OUTDIR
//
// Icons are glyphs of the Material Icons font (Apache-2.0); the logo, the
// power-off picture, the navigation background, the album stand-by tiles
// and the Hi-Res badge are drawn here with QPainter. One palette for all:
// light grey on black, one blue accent, gold for Hi-Res, red for mute.

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QTextStream>

#include <cstdio>
#include <initializer_list>

namespace {

const QColor kLight(0xE8, 0xEC, 0xF1);
const QColor kDim(0x9A, 0xA4, 0xB2);
const QColor kAccent(0x4C, 0x9A, 0xFF);
const QColor kGold(0xD9, 0xB4, 0x4A);
const QColor kMute(0xE5, 0x48, 0x4D);
const QColor kTileTop(0x1D, 0x25, 0x31);
const QColor kTileBottom(0x0D, 0x10, 0x15);

QString g_iconFamily;
QString g_boldFamily;
QString g_out;
QStringList g_failures;

struct Entry {
    QString prefix; // resource prefix, e.g. "/icon"
    QString alias;  // e.g. "Resource/icon/paused"
    QString file;   // relative to OUTDIR
};
QList<Entry> g_entries;

// First code point of the list that the icon font has.
uint glyphOf(std::initializer_list<uint> candidates, const QString &name)
{
    QFont f(g_iconFamily);
    f.setPixelSize(48);
    const QRawFont raw = QRawFont::fromFont(f);
    for (uint cp : candidates) {
        if (raw.supportsCharacter(cp))
            return cp;
    }
    g_failures << name;
    return 0;
}

void drawGlyph(QPainter &p, uint cp, const QRectF &box, const QColor &color)
{
    if (cp == 0)
        return;
    QFont f(g_iconFamily);
    f.setPixelSize(int(std::min(box.width(), box.height())));
    p.setFont(f);
    p.setPen(color);
    p.drawText(box, Qt::AlignCenter, QString::fromUcs4(&cp, 1));
}

void drawBoldText(QPainter &p, const QString &text, const QRectF &box, int px, const QColor &color,
                  Qt::Alignment align = Qt::AlignCenter)
{
    QFont f(g_boldFamily);
    f.setPixelSize(px);
    f.setBold(true);
    p.setFont(f);
    p.setPen(color);
    p.drawText(box, align, text);
}

QImage canvas(int w, int h, bool opaque = false)
{
    QImage img(w, h, opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    img.fill(opaque ? Qt::black : Qt::transparent);
    return img;
}

void save(const QImage &img, const QString &prefix, const QString &alias, const QString &file,
          const char *format = "PNG")
{
    const QString path = g_out + QLatin1Char('/') + file;
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!img.save(path, format, format == QByteArray("JPG") ? 92 : -1)) {
        g_failures << file;
        return;
    }
    g_entries.append({prefix, alias, file});
}

void saveIcon(const QImage &img, const QString &name)
{
    save(img, QStringLiteral("/icon"), QStringLiteral("Resource/icon/") + name,
         QStringLiteral("icon/") + name + ".png");
}

QImage glyphIcon(uint cp, int size, const QColor &color)
{
    QImage img = canvas(size, size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    drawGlyph(p, cp, QRectF(0, 0, size, size), color);
    return img;
}

// A glyph with a small folder badge at its lower right (directory modes).
QImage glyphWithFolder(uint cp, uint folder, int size, const QColor &color)
{
    QImage img = canvas(size, size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    drawGlyph(p, cp, QRectF(0, 0, size * 0.82, size * 0.82), color);
    const QRectF badge(size * 0.5, size * 0.5, size * 0.5, size * 0.5);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawRoundedRect(badge.adjusted(-1, -1, 1, 1), 3, 3);
    drawGlyph(p, folder, badge, kAccent);
    return img;
}

// A glyph with a port number beside it.
QImage glyphWithDigit(uint cp, int w, int h, int digit, const QColor &color, int digitPx)
{
    QImage img = canvas(w, h);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    drawGlyph(p, cp, QRectF(0, 0, h, h), color);
    drawBoldText(p, QString::number(digit), QRectF(h - 3, 0, w - h + 3, h), digitPx, kAccent,
                 Qt::AlignLeft | Qt::AlignBottom);
    return img;
}

QImage tile(int size)
{
    QImage img = canvas(size, size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, size);
    g.setColorAt(0, kTileTop);
    g.setColorAt(1, kTileBottom);
    p.setPen(QPen(QColor(0x2C, 0x36, 0x44), 2));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(1, 1, size - 2, size - 2), 10, 10);
    return img;
}

void renderAll()
{
    const uint pauseCircle = glyphOf({0xe036, 0xe034}, "pause_circle_outline");
    const uint playCircle = glyphOf({0xe039, 0xe037}, "play_circle_outline");
    const uint pauseFilled = glyphOf({0xe035, 0xe034}, "pause_circle_filled");
    const uint album = glyphOf({0xe019}, "album");
    const uint usb = glyphOf({0xe1e0}, "usb");
    const uint bluetooth = glyphOf({0xe1a7}, "bluetooth");
    const uint volumeUp = glyphOf({0xe050}, "volume_up");
    const uint volumeOff = glyphOf({0xe04f}, "volume_off");
    const uint search = glyphOf({0xe8b6}, "search");
    const uint person = glyphOf({0xe7fd}, "person");
    const uint note = glyphOf({0xe405}, "music_note");
    const uint format = glyphOf({0xeb82, 0xe873}, "audio_file");
    const uint event = glyphOf({0xe878}, "event");
    const uint storage = glyphOf({0xe1c2, 0xe1db}, "sd_storage");
    const uint folder = glyphOf({0xe2c7}, "folder");
    const uint left = glyphOf({0xe5cb}, "chevron_left");
    const uint right = glyphOf({0xe5cc}, "chevron_right");
    const uint repeat = glyphOf({0xe040}, "repeat");
    const uint repeatOne = glyphOf({0xe041}, "repeat_one");
    const uint shuffle = glyphOf({0xe043}, "shuffle");
    const uint power = glyphOf({0xe8ac}, "power_settings_new");

    // Play state pictures of the message box.
    saveIcon(glyphIcon(pauseCircle, 120, kLight), "paused");
    saveIcon(glyphIcon(playCircle, 120, kLight), "playing");

    // Album stand-by pictures.
    {
        QImage img = tile(150);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        drawGlyph(p, album, QRectF(27, 27, 96, 96), QColor(0x5B, 0x6B, 0x80));
        p.end();
        saveIcon(img, "albumPic");
    }
    {
        QImage img = tile(150);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        drawGlyph(p, album, QRectF(27, 27, 96, 96), QColor(0x3A, 0x45, 0x55));
        drawGlyph(p, pauseFilled, QRectF(45, 45, 60, 60), kLight);
        p.end();
        saveIcon(img, "albumPic_Pause");
    }

    // Navigation bar: background, ports, Bluetooth, speaker.
    {
        QImage img = canvas(480, 34, true);
        QPainter p(&img);
        QLinearGradient g(0, 0, 0, 34);
        g.setColorAt(0, QColor(0x1C, 0x23, 0x2D));
        g.setColorAt(1, QColor(0x08, 0x0A, 0x0D));
        p.fillRect(img.rect(), g);
        QColor line = kAccent;
        line.setAlpha(110);
        p.fillRect(QRect(0, 33, 480, 1), line);
        p.end();
        saveIcon(img, "nav");
    }
    for (int port = 1; port <= 3; ++port)
        saveIcon(glyphWithDigit(usb, 30, 24, port, kLight, 12), QStringLiteral("NavTop/icon_USB_%1").arg(port));
    saveIcon(glyphIcon(bluetooth, 24, kAccent), "NavTop/icon_Bluetooth");
    saveIcon(glyphIcon(volumeUp, 24, kLight), "icon_spk");
    saveIcon(glyphIcon(volumeOff, 24, kMute), "icon_spk_mute");

    // Hi-Res badge.
    {
        QImage img = canvas(70, 26);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(kGold, 2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(1, 1, 68, 24), 5, 5);
        drawBoldText(p, QStringLiteral("Hi-Res"), QRectF(0, 0, 70, 26), 15, kGold);
        p.end();
        saveIcon(img, "icon_Hi-Res");
    }

    // Browser rows: first page and search page (and its folder and song rows).
    for (int port = 1; port <= 3; ++port)
        saveIcon(glyphWithDigit(usb, 40, 32, port, kLight, 14), QStringLiteral("icon_list_usb%1").arg(port));
    saveIcon(glyphIcon(search, 32, kLight), "icon_list_serch_device");
    saveIcon(glyphIcon(person, 32, kLight), "icon_songer");
    saveIcon(glyphIcon(album, 32, kLight), "icon_ablum");
    saveIcon(glyphIcon(note, 32, kLight), "icon_songname");
    saveIcon(glyphIcon(format, 32, kLight), "icon_format");
    saveIcon(glyphIcon(event, 32, kLight), "icon_date");
    saveIcon(glyphIcon(storage, 32, kLight), "icon_filesize");
    saveIcon(glyphIcon(folder, 32, kLight), "icon_folder");
    saveIcon(glyphIcon(note, 32, kDim), "icon_song");

    // Value arrows (setup rows, popups), plain and lit.
    saveIcon(glyphIcon(left, 32, kDim), "icon_arrow_left");
    saveIcon(glyphIcon(right, 32, kDim), "icon_arrow_right");
    saveIcon(glyphIcon(left, 32, kAccent), "icon_arrow_left_on");
    saveIcon(glyphIcon(right, 32, kAccent), "icon_arrow_right_on");

    // Play modes.
    auto saveMode = [](const QImage &img, const QString &name) {
        save(img, QStringLiteral("/mode"), QStringLiteral("Resource/playmode/") + name,
             QStringLiteral("playmode/") + name + ".png");
    };
    saveMode(glyphIcon(repeatOne, 32, kLight), "icon_repeat_song");
    saveMode(glyphWithFolder(repeat, folder, 32, kLight), "icon_dir_repeat");
    saveMode(glyphWithFolder(shuffle, folder, 32, kLight), "icon_dir_shuffle");
    saveMode(glyphIcon(shuffle, 32, kLight), "icon_shuffle");

    // Boot logo: the product name and nothing else.
    QImage logo = canvas(480, 320, true);
    {
        QPainter p(&logo);
        p.setRenderHint(QPainter::Antialiasing);
        drawBoldText(p, QStringLiteral("VDX-730"), QRectF(0, 100, 480, 100), 76, kLight);
        QLinearGradient g(90, 0, 390, 0);
        QColor clear = kAccent;
        clear.setAlpha(0);
        g.setColorAt(0, clear);
        g.setColorAt(0.5, kAccent);
        g.setColorAt(1, clear);
        p.fillRect(QRectF(90, 206, 300, 3), g);
    }
    save(logo, QStringLiteral("/loading"), QStringLiteral("Resource/loading/logo"), QStringLiteral("loading/logo.png"));
    save(logo, QStringLiteral("/loading"), QStringLiteral("Resource/loading/logo.jpg"),
         QStringLiteral("loading/logo.jpg"), "JPG");

    // Power-off picture: the power symbol, dim, on black.
    {
        QImage img = canvas(480, 320, true);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        drawGlyph(p, power, QRectF(180, 100, 120, 120), QColor(0x5B, 0x6B, 0x80));
        p.end();
        save(img, QStringLiteral("/loading"), QStringLiteral("Resource/loading/powerOff.png"),
             QStringLiteral("loading/powerOff.png"));
    }
}

// Preset EQ pictures: the curve of each factory preset (ten bands, in dB)
// drawn by us as a smooth line over a faint 0 dB line.
void renderPresetPictures()
{
    struct Curve {
        const char *name;
        int db[10];
    };
    static const Curve curves[] = {
        {"Flat", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},       {"Pop", {-1, 0, 2, 4, 5, 4, 2, 0, -1, -1}},
        {"Rock", {5, 4, 2, -1, -2, -1, 2, 4, 5, 5}},    {"News", {-3, -2, 0, 2, 4, 4, 3, 1, -1, -2}},
        {"Jazz", {3, 2, 1, 2, -1, -1, 0, 1, 2, 3}},     {"Electronic", {5, 4, 1, 0, -2, 2, 1, 2, 4, 5}},
        {"Hip-Hop", {6, 5, 2, 3, -1, -1, 1, -1, 2, 3}}, {"EasyListening", {-1, 0, 1, 2, 2, 1, 0, -1, -2, -3}},
        {"Country", {2, 1, 0, -1, 0, 2, 3, 3, 2, 1}},   {"Classical", {4, 3, 2, 1, -1, -1, 0, 2, 3, 4}},
        {"User", {2, 3, 1, -2, 0, 3, 1, -1, 2, 0}},
    };
    constexpr int W = 44;
    constexpr int H = 36;
    for (const Curve &c : curves) {
        QImage img = canvas(W, H);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(0x3A, 0x44, 0x52), 1));
        p.drawLine(QPointF(2, H / 2.0), QPointF(W - 2, H / 2.0));
        QPainterPath path;
        QPointF prev;
        for (int i = 0; i < 10; ++i) {
            const QPointF pt(3 + i * (W - 6) / 9.0, H / 2.0 - c.db[i] * (H / 2.0 - 4) / 6.0);
            if (i == 0) {
                path.moveTo(pt);
            } else {
                const double mid = (prev.x() + pt.x()) / 2;
                path.cubicTo(QPointF(mid, prev.y()), QPointF(mid, pt.y()), pt);
            }
            prev = pt;
        }
        const bool user = QByteArray(c.name) == "User";
        QPen pen(user ? kLight : kAccent, 2.5);
        if (user)
            pen.setStyle(Qt::DashLine);
        p.setPen(pen);
        p.drawPath(path);
        p.end();
        const QString name = QStringLiteral("Setup_Factory_EQ_") + QLatin1String(c.name);
        save(img, QStringLiteral("/preset"), QStringLiteral("Resource/preset/") + name,
             QStringLiteral("preset/") + name + QStringLiteral(".png"));
    }
}

bool writeQrc()
{
    QFile f(g_out + QStringLiteral("/pictures.qrc"));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream s(&f);
    s << "<RCC>\n";
    for (const QString &prefix :
         {QStringLiteral("/icon"), QStringLiteral("/mode"), QStringLiteral("/loading"), QStringLiteral("/preset")}) {
        s << "  <qresource prefix=\"" << prefix << "\">\n";
        for (const Entry &e : qAsConst(g_entries)) {
            if (e.prefix == prefix)
                s << "    <file alias=\"" << e.alias << "\">" << e.file << "</file>\n";
        }
        s << "  </qresource>\n";
    }
    s << "</RCC>\n";
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: iconrender MATERIAL_ICONS_TTF LATIN_BOLD_TTF OUTDIR\n");
        return 2;
    }
    const int iconId = QFontDatabase::addApplicationFont(QString::fromLocal8Bit(argv[1]));
    const int boldId = QFontDatabase::addApplicationFont(QString::fromLocal8Bit(argv[2]));
    if (iconId < 0 || boldId < 0) {
        std::fprintf(stderr, "iconrender: cannot load the fonts %s and %s\n", argv[1], argv[2]);
        return 1;
    }
    g_iconFamily = QFontDatabase::applicationFontFamilies(iconId).value(0);
    g_boldFamily = QFontDatabase::applicationFontFamilies(boldId).value(0);
    g_out = QString::fromLocal8Bit(argv[3]);
    QDir().mkpath(g_out);
    renderAll();
    renderPresetPictures();
    if (!g_failures.isEmpty()) {
        std::fprintf(stderr, "iconrender: failed: %s\n", qPrintable(g_failures.join(QStringLiteral(", "))));
        return 1;
    }
    if (!writeQrc()) {
        std::fprintf(stderr, "iconrender: cannot write %s/pictures.qrc\n", qPrintable(g_out));
        return 1;
    }
    return 0;
}
