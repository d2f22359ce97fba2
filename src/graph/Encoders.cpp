#include "Encoders.h"

#include <cstring>

#include "FormatBuild.h"
#include "GstRef.h"
#include "Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QXmlStreamReader>

#include <algorithm>
#include <gst/gst.h>
#include <optional>

namespace {

constexpr qint64 kMaxProfileFileSize = 1 << 20;

// The list shows the codec family first and the encoder behind it in brackets.
QString encoderLabel(GstElementFactory* factory) {
    const QString name = QString::fromUtf8(gst_plugin_feature_get_name(factory));
    if (name.startsWith(QLatin1String("avenc_")))
        return QStringLiteral("libavcodec MPEG-4");
    if (name.contains(QLatin1String("xvid"), Qt::CaseInsensitive))
        return QStringLiteral("xvidcore");
    const char* longName = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME);
    return longName ? QString::fromUtf8(longName) : name;
}

bool hasProperty(GstElement* element, const char* name) {
    return g_object_class_find_property(G_OBJECT_GET_CLASS(element), name) != nullptr;
}

// ---- Windows Media profile files ----

int attrInt(const QXmlStreamAttributes& attrs, const char* name, bool* ok = nullptr) {
    for (const QXmlStreamAttribute& a : attrs)
        if (a.name().compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return a.value().toString().trimmed().toInt(ok);
    if (ok)
        *ok = false;
    return 0;
}

qint64 attrInt64(const QXmlStreamAttributes& attrs, const char* name) {
    for (const QXmlStreamAttribute& a : attrs)
        if (a.name().compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return a.value().toString().trimmed().toLongLong();
    return 0;
}

QString attrText(const QXmlStreamAttributes& attrs, const char* name) {
    for (const QXmlStreamAttribute& a : attrs)
        if (a.name().compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return a.value().toString();
    return {};
}

bool isElement(const QXmlStreamReader& xml, const char* name) {
    return xml.name().compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

enum class StreamKind { None, Video, Audio };

// Major types of the stream configurations: MEDIATYPE_Video ("vids") and MEDIATYPE_Audio
// ("auds").
StreamKind kindOf(const QString& majorType) {
    const QString t = majorType.trimmed().toLower();
    if (t.startsWith(QLatin1String("{73646976")))
        return StreamKind::Video;
    if (t.startsWith(QLatin1String("{73647561")))
        return StreamKind::Audio;
    return StreamKind::None;
}

int kbps(qint64 bitsPerSecond) {
    return int(std::clamp<qint64>((bitsPerSecond + 500) / 1000, 0, 100000));
}

// Sizes the encoders accept: even, and at most a large HD picture.
int pictureSide(int v) {
    v = std::abs(v);
    return v > 4096 ? 0 : v & ~1;
}

std::optional<TWmvProfile> readProfile(const QString& file) {
    QFile f(file);
    if (f.size() > kMaxProfileFileSize || !f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = f.read(kMaxProfileFileSize);
    QXmlStreamReader xml(bytes);
    TWmvProfile p;
    bool profileSeen = false, videoSeen = false;
    StreamKind stream = StreamKind::None;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            if (isElement(xml, "streamconfig"))
                stream = StreamKind::None;
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        if (isElement(xml, "profile")) {
            profileSeen = true;
            p.name = attrText(a, "name").trimmed().left(1024);
        } else if (isElement(xml, "streamconfig")) {
            stream = kindOf(attrText(a, "majortype"));
            // Only the first stream of each kind counts: an ASF file from Vidorra carries one.
            if (stream == StreamKind::Video && videoSeen)
                stream = StreamKind::None;
            if (stream == StreamKind::Audio && p.audioRate > 0)
                stream = StreamKind::None;
            if (stream == StreamKind::Video) {
                videoSeen = true;
                p.videoBitrateKbps = kbps(attrInt64(a, "bitrate"));
            } else if (stream == StreamKind::Audio) {
                p.audioBitrateKbps = kbps(attrInt64(a, "bitrate"));
            }
        } else if (stream == StreamKind::Video && isElement(xml, "videoinfoheader")) {
            const qint64 perFrame = attrInt64(a, "avgtimeperframe"); // 100 ns units
            p.fps = perFrame > 0
                        ? int(std::clamp<qint64>((10000000 + perFrame / 2) / perFrame, 0, 120))
                        : 0;
            if (p.videoBitrateKbps == 0)
                p.videoBitrateKbps = kbps(attrInt64(a, "dwbitrate"));
        } else if (stream == StreamKind::Video && isElement(xml, "bitmapinfoheader")) {
            p.width = pictureSide(attrInt(a, "biwidth"));
            p.height = pictureSide(attrInt(a, "biheight"));
            if (p.width == 0 || p.height == 0)
                p.width = p.height = 0;
        } else if (stream == StreamKind::Audio && isElement(xml, "waveformatex")) {
            const int rate = attrInt(a, "nsamplespersec");
            const int channels = attrInt(a, "nchannels");
            p.audioRate = rate >= 8000 && rate <= 96000 ? rate : 0;
            p.audioChannels = channels == 1 || channels == 2 ? channels : 0;
            if (p.audioRate == 0)
                p.audioChannels = 0;
        }
    }
    if (xml.hasError() || !profileSeen) {
        qCInfo(lcVidorra) << "profil Windows Media illisible, ignoré:" << file << xml.errorString();
        return std::nullopt;
    }
    if (!videoSeen) {
        qCInfo(lcVidorra) << "profil sans flux vidéo, ignoré:" << file;
        return std::nullopt;
    }
    if (p.name.isEmpty())
        p.name = QFileInfo(file).completeBaseName();
    return p;
}

} // namespace

// ---- Discovery ----

void TEncoderCatalog::Discover() {
    m_divx.clear();
    m_mp3 = false;
    if (!gst_is_initialized()) {
        qCWarning(lcVidorra) << "GStreamer non initialisé: aucun encodeur recherché";
        return;
    }
    TGstObjectList found;
    {
        const TGstObjectList all(gst_element_factory_list_get_elements(
            GST_ELEMENT_FACTORY_TYPE_ENCODER | GST_ELEMENT_FACTORY_TYPE_MEDIA_VIDEO,
            GST_RANK_NONE));
        const TGstRef<GstCaps> mpeg4(
            gst_caps_from_string("video/mpeg, mpegversion=(int)4, systemstream=(boolean)false"));
        found.reset(gst_element_factory_list_filter(all.get(), mpeg4.get(), GST_PAD_SRC, FALSE));
    }
    found.reset(g_list_sort(found.release(), gst_plugin_feature_rank_compare_func));

    // Every MPEG-4 part 2 encoder can write both fourccs; a real Xvid encoder comes last so
    // that, as the last "xvid" entry, it is the default.
    std::vector<TDivxEntry> divx, xvid, real;
    for (GList* l = found.get(); l; l = l->next) {
        auto* factory = GST_ELEMENT_FACTORY(l->data);
        const QString name = QString::fromUtf8(gst_plugin_feature_get_name(factory));
        // Wrappers of hardware encoders are listed whether or not the hardware is there
        // (OpenMAX without its library fails only when the first picture comes): offered
        // are the software encoders.
        const char* klass = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
        if ((klass && strstr(klass, "Hardware")) || name.endsWith(QLatin1String("_omx")) ||
            name.contains(QLatin1String("vaapi")) || name.contains(QLatin1String("v4l2")) ||
            name.contains(QLatin1String("nvenc")) || name.contains(QLatin1String("qsv")))
            continue;
        const QString label = encoderLabel(factory);
        if (name.contains(QLatin1String("xvid"), Qt::CaseInsensitive)) {
            real.push_back({QStringLiteral("Xvid (%1)").arg(label), name, QStringLiteral("XVID")});
            continue;
        }
        divx.push_back({QStringLiteral("DivX 5 (%1)").arg(label), name, QStringLiteral("DX50")});
        xvid.push_back({QStringLiteral("Xvid (%1)").arg(label), name, QStringLiteral("XVID")});
    }
    m_divx = std::move(divx);
    m_divx.insert(m_divx.end(), xvid.begin(), xvid.end());
    m_divx.insert(m_divx.end(), real.begin(), real.end());
    m_mp3 = FactoryInstalled("lamemp3enc");
}

void TEncoderCatalog::Assign(std::vector<TDivxEntry> divx, bool mp3) {
    m_divx = std::move(divx);
    m_mp3 = mp3;
}

const TDivxEntry* TEncoderCatalog::ChooseDivx(const QString& favourite) const {
    if (m_divx.empty())
        return nullptr;
    const TDivxEntry* lastXvid = nullptr;
    for (const TDivxEntry& e : m_divx) {
        if (!favourite.isEmpty() && e.name == favourite)
            return &e;
        if (e.name.contains(QLatin1String("xvid"), Qt::CaseInsensitive))
            lastXvid = &e;
    }
    return lastXvid ? lastXvid : &m_divx.front();
}

QString TEncoderCatalog::EncoderVersion(const QString& factoryName) {
    if (!gst_is_initialized())
        return {};
    const TGstRef<GstElementFactory> factory(
        gst_element_factory_find(factoryName.toUtf8().constData()));
    if (!factory)
        return {};
    auto meta = [&factory](const char* key) {
        const char* v = gst_element_factory_get_metadata(factory.get(), key);
        return v ? QString::fromUtf8(v) : QString();
    };
    QString text =
        meta(GST_ELEMENT_METADATA_LONGNAME) + '\n' + meta(GST_ELEMENT_METADATA_DESCRIPTION);
    text += QStringLiteral("\nÉlément : ") + factoryName;
    if (const TGstRef<GstPlugin> plugin(
            gst_plugin_feature_get_plugin(GST_PLUGIN_FEATURE(factory.get())));
        plugin) {
        text += QStringLiteral("\nModule : %1 version %2")
                    .arg(QString::fromUtf8(gst_plugin_get_name(plugin.get())),
                         QString::fromUtf8(gst_plugin_get_version(plugin.get())));
        if (const char* pkg = gst_plugin_get_package(plugin.get()))
            text += QStringLiteral("\nPaquet : ") + QString::fromUtf8(pkg);
    }
    return text;
}

void TEncoderCatalog::ConfigureDivxEncoder(GstElement* encoder, const TDivxSettings& s) {
    if (!encoder)
        return;
    const bool constantQuantiser = s.bitrateKbps <= 0;
    if (hasProperty(encoder, "pass"))
        gst_util_set_object_arg(G_OBJECT(encoder), "pass", constantQuantiser ? "quant" : "cbr");
    if (!constantQuantiser && hasProperty(encoder, "bitrate"))
        g_object_set(encoder, "bitrate", std::clamp(s.bitrateKbps, 1, 100000) * 1000, nullptr);
    if (constantQuantiser && hasProperty(encoder, "quantizer")) {
        // avenc_mpeg4 takes a float, xvidenc an integer.
        GParamSpec* spec = g_object_class_find_property(G_OBJECT_GET_CLASS(encoder), "quantizer");
        const int q = std::clamp(s.quantiser, 2, 30);
        if (G_PARAM_SPEC_VALUE_TYPE(spec) == G_TYPE_FLOAT)
            g_object_set(encoder, "quantizer", float(q), nullptr);
        else if (G_PARAM_SPEC_VALUE_TYPE(spec) == G_TYPE_INT)
            g_object_set(encoder, "quantizer", q, nullptr);
    }
    const int interval = std::clamp(s.keyFrameInterval, 1, 3000);
    if (hasProperty(encoder, "gop-size"))
        g_object_set(encoder, "gop-size", interval, nullptr);
    else if (hasProperty(encoder, "max-key-interval"))
        g_object_set(encoder, "max-key-interval", interval, nullptr);
}

// ---- Windows Media ----

QString TEncoderCatalog::WmvVideoFactory(int version) {
    switch (version) {
    case 0:
        return QStringLiteral("avenc_msmpeg4");
    case 1:
        return QStringLiteral("avenc_wmv1");
    default:
        return QStringLiteral("avenc_wmv2");
    }
}

QString TEncoderCatalog::WmvAudioFactory(int /*version*/) {
    return QStringLiteral("avenc_wmav2");
}

TWmvProfile TEncoderCatalog::PresetProfile(int index) {
    switch (index) {
    case 0:
        return {QStringLiteral("High"), 2000, 0, 0, 0, 128, 44100, 2};
    case 2:
        return {QStringLiteral("Low"), 500, 352, 288, 0, 64, 44100, 2};
    case 3:
        return {QStringLiteral("Internet"), 256, 320, 240, 15, 32, 22050, 1};
    default: // 1, and any value a damaged store may hold
        return {QStringLiteral("Medium"), 1000, 640, 480, 0, 96, 44100, 2};
    }
}

std::vector<TWmvProfile> TEncoderCatalog::SystemProfiles(const QString& folder) {
    std::vector<TWmvProfile> profiles;
    if (folder.isEmpty())
        return profiles;
    const QDir dir(folder);
    const QFileInfoList files =
        dir.entryInfoList({QStringLiteral("*.prx")}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QFileInfo& fi : files)
        if (auto p = readProfile(fi.filePath()))
            profiles.push_back(std::move(*p));
    return profiles;
}

QString TEncoderCatalog::DefaultProfilesFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/vidorra/profils");
}

TWmvProfile TEncoderCatalog::ChosenWmvProfile(bool useDefault, int preset, const QString& favourite,
                                              const std::vector<TWmvProfile>& system) {
    if (useDefault || system.empty())
        return PresetProfile(preset);
    for (const TWmvProfile& p : system)
        if (p.name == favourite)
            return p;
    return system.front();
}

QList<int> TEncoderCatalog::Mp3Bitrates() {
    return {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
}

TEncoderCatalog& Encoders() {
    static TEncoderCatalog catalog;
    return catalog;
}
