// klvtool probe: what the DSD readers and the CUE parser see in a file, as
// JSON.
#include "klvtool.h"

#include "cuefiles.h"
#include "sacd_disc.h"
#include "sacd_dsdiff.h"
#include "sacd_dsf.h"
#include "sacd_media.h"
#include "textencoding.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <memory>

namespace {

QString text(const std::string &s)
{
    return GetCorrectUnicode(QByteArray::fromStdString(s));
}

QJsonObject probeCue(const QString &path)
{
    CueFiles cue(path);
    QJsonArray tracks;
    for (const cueData &d : cue.getCueData()) {
        tracks.append(QJsonObject{{"index", d.index},
                                  {"start", d.start},
                                  {"length", d.length},
                                  {"title", d.title},
                                  {"performer", d.performer}});
    }
    return QJsonObject{{"file", path},
                       {"kind", "cue"},
                       {"valid", cue.Is_Correct_CUE()},
                       {"album", cue.getAlbumName()},
                       {"performer", cue.getAlbumPerformer()},
                       {"audio_file", cue.getSrcFile().filePath()},
                       {"tracks", tracks}};
}

QJsonObject area(sacd_reader_t &r, area_id_e id, const QJsonArray &tracks)
{
    return QJsonObject{{"area", int(id)},
                       {"channels", r.get_channels()},
                       {"samplerate", r.get_samplerate()},
                       {"framerate", r.get_framerate()},
                       {"dst", r.is_dst()},
                       {"tracks", tracks}};
}

QJsonObject trackJson(uint32_t index, double start, double duration, const TrackDetails &d)
{
    return QJsonObject{{"index", int(index)},         {"start", start},
                       {"duration", duration},        {"title", text(d.strTitle)},
                       {"artist", text(d.strArtist)}, {"album", text(d.strAlbum)}};
}

int runProbe(const QStringList &args)
{
    if (args.size() != 1) {
        klvtool::err(QStringLiteral("usage: klvtool probe FILE"));
        return 2;
    }
    const QFileInfo info(args.first());
    const QString path = info.absoluteFilePath();
    if (!info.isFile()) {
        klvtool::err(QStringLiteral("klvtool probe: no file ") + path);
        return 1;
    }
    const QString suffix = info.suffix().toLower();
    QJsonObject result;
    if (suffix == QLatin1String("cue")) {
        result = probeCue(path);
    } else {
        const QByteArray file = QFile::encodeName(path);
        sacd_media_t media;
        if (!media.open(file.constData())) {
            klvtool::err(QStringLiteral("klvtool probe: cannot read ") + path);
            return 1;
        }
        QJsonArray areas;
        if (suffix == QLatin1String("iso") || suffix == QLatin1String("dat")) {
            sacd_disc_t disc;
            if (!sacd_disc_t::g_is_sacd(file.constData()) || !disc.open(&media)) {
                klvtool::err(QStringLiteral("klvtool probe: not an SACD image: ") + path);
                return 1;
            }
            for (area_id_e id : {AREA_TWOCH, AREA_MULCH}) {
                const scarletbook_area_t *a = disc.get_area(id);
                if (!a)
                    continue;
                QJsonArray tracks;
                for (uint32_t t = 0; t < disc.get_track_count(id); ++t) {
                    TrackDetails d;
                    disc.getTrackDetails(t, id, &d);
                    const area_tracklist_time_t &st = a->track_start_time[t];
                    const double start = st.minutes * 60.0 + st.seconds + st.frames / 75.0;
                    const bool selected = disc.set_track(t, id, 0);
                    QJsonObject tj = trackJson(t, start, selected ? disc.get_duration() : 0.0, d);
                    tj.insert("sectors", selected ? double(disc.get_size() / disc.sector_size()) : 0.0);
                    tracks.append(tj);
                }
                disc.set_track(0, id, 0);
                QJsonObject aj = area(disc, id, tracks);
                aj.insert("channels", int(a->area_toc.channel_count));
                aj.insert("dst", a->area_toc.frame_format == 0);
                areas.append(aj);
            }
            result = QJsonObject{{"kind", "iso"},
                                 {"sector_size", disc.sector_size()},
                                 {"album", text(disc.master_text().album_title)},
                                 {"artist", text(disc.master_text().album_artist)}};
        } else if (suffix == QLatin1String("dsf") || suffix == QLatin1String("dff")) {
            std::unique_ptr<sacd_reader_t> reader;
            if (suffix == QLatin1String("dsf"))
                reader = std::make_unique<sacd_dsf_t>();
            else
                reader = std::make_unique<sacd_dsdiff_t>();
            if (!reader->open(&media)) {
                klvtool::err(QStringLiteral("klvtool probe: cannot parse ") + path);
                return 1;
            }
            const area_id_e id = reader->get_track_count(AREA_TWOCH)   ? AREA_TWOCH
                                 : reader->get_track_count(AREA_MULCH) ? AREA_MULCH
                                                                       : AREA_BOTH;
            QJsonArray tracks;
            double start = 0;
            auto *dff = dynamic_cast<sacd_dsdiff_t *>(reader.get());
            for (uint32_t t = 0; t < reader->get_track_count(AREA_BOTH); ++t) {
                TrackDetails d;
                reader->getTrackDetails(t, id, &d);
                if (dff)
                    start = dff->subsongs()[t].start_time;
                tracks.append(trackJson(t, start, reader->get_duration(t), d));
            }
            areas.append(area(*reader, id, tracks));
            result = QJsonObject{{"kind", suffix}};
        } else {
            klvtool::err(QStringLiteral("klvtool probe: not a DSD file, image or CUE sheet: ") + path);
            return 1;
        }
        result.insert("file", path);
        result.insert("areas", areas);
    }
    klvtool::out(QString::fromUtf8(QJsonDocument(result).toJson(QJsonDocument::Indented)).trimmed());
    return 0;
}

} // namespace

KLVTOOL_COMMAND("probe", "probe FILE", "what the DSD readers or the CUE parser see in a file (JSON)",
                "DSF, DSDIFF files and SACD images (.iso, .dat): the areas (channels, rate, frame rate, DST)\n"
                "and every track (index, start, duration, title, artist, album). CUE sheets: validity, album,\n"
                "performer, audio file and tracks.",
                runProbe);
