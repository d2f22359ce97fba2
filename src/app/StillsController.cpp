#include "StillsController.h"

#include "DateTimeFormat.h"
#include "DeinterlaceStill.h"
#include "Dm.h"
#include "Log.h"
#include "OutputNaming.h"
#include "ParameterTable.h"
#include "Prompts.h"
#include "RecordingController.h"
#include "Session.h"
#include "SourcesController.h"
#include "StillWriter.h"

#include <gst/video/video.h>

#include <cstring>

namespace {

const char* const kUnits[] = {"secondes", "frames", "minutes", "heures"};

QDateTime dateTimeOf(double days) {
    vrdate::DateTimeParts p;
    if (!vrdate::decodeDateTime(days, p))
        return {};
    return QDateTime(QDate(p.year, p.month, p.day), QTime(p.hour, p.minute, p.second));
}

} // namespace

TStillsController::TStillsController(TSession& session, Tdm& dm)
    : QObject(&session), m_session(session), m_dm(dm) {}

void TStillsController::FirstName() {
    if (!Prm.imageDirectory || !m_session.recorder())
        return;
    m_nextName = m_session.recorder()->naming().NextImageFileName(ImageNameSettings(Prm),
                                                                  Prm.extensionDesImages->Value);
    emit nextNameChanged(m_nextName);
}

void TStillsController::RecomputeName() {
    if (!Prm.imageDirectory || !m_session.recorder())
        return;
    m_nextName = m_session.recorder()->naming().RecomputeImageFileName(
        ImageNameSettings(Prm), Prm.extensionDesImages->Value);
    emit nextNameChanged(m_nextName);
}

void TStillsController::Grab() {
    m_session.view().showGrab(Prm.panneauActif && Prm.panneauActif->Value != pnExtraire);
    if (GstElement* overlay = m_dm.overlay())
        g_signal_emit_by_name(overlay, "grab-image");
}

// The ratio the still is brought to, by "Aspect ratio": the DV camcorder's own (4:3 or 16:9
// as it last said), 4:3, 16:9, or the capture format's own size; 0:0 keeps the frame.
QSize TStillsController::targetRatio() const {
    switch (Prm.aspectRatio ? Prm.aspectRatio->Value : 0) {
    case 1:
        return {4, 3};
    case 2:
        return {16, 9};
    case 3: {
        const TVideoFormatLabel format = m_dm.videoFormat();
        return {format.width, format.height};
    }
    default: {
        TVideoSource* video = m_session.sources() ? m_session.sources()->currentVideo() : nullptr;
        if (!video || !video->SceneDetector())
            return {0, 0};
        return m_session.detectedWide() ? QSize(16, 9) : QSize(4, 3);
    }
    }
}

void TStillsController::SnapshotReady(GstMessage* message) {
    const GstStructure* s = gst_message_get_structure(message);
    gint slot = -1;
    gst_structure_get_int(s, "lparam", &slot);
    gboolean dateValid = FALSE;
    double recDate = 0;
    gboolean periodic = FALSE;
    gst_structure_get_boolean(s, "date-valid", &dateValid);
    gst_structure_get_boolean(s, "periodic", &periodic);
    gst_structure_get_double(s, "rec-date", &recDate);
    const QDateTime grabbedAt = now();

    // The picture is copied out of the slot, which goes back to the overlay at once.
    GstSample* sample = nullptr;
    gst_structure_get(s, "sample", GST_TYPE_SAMPLE, &sample, nullptr);
    GstVideoInfo info;
    GstMapInfo map;
    bool copied = false;
    if (sample && gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) &&
        gst_buffer_map(gst_sample_get_buffer(sample), &map, GST_MAP_READ)) {
        const int w = GST_VIDEO_INFO_WIDTH(&info), h = GST_VIDEO_INFO_HEIGHT(&info);
        const int stride = GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
        if (w > 0 && h > 0 && map.size >= size_t(stride) * size_t(h - 1) + size_t(w) * 3) {
            m_snapshot.resize(w, h);
            for (int y = 0; y < h; ++y)
                std::memcpy(m_snapshot.row(y), map.data + size_t(y) * size_t(stride),
                            size_t(w) * 3);
            copied = true;
        }
        gst_buffer_unmap(gst_sample_get_buffer(sample), &map);
    }
    if (sample)
        gst_sample_unref(sample);
    if (slot >= 0 && m_dm.overlay())
        g_signal_emit_by_name(m_dm.overlay(), "release-slot", slot);
    if (!copied)
        return;

    if (Prm.internalDeinterlacer && Prm.internalDeinterlacer->Value) {
        m_frame.resize(m_snapshot.width, m_snapshot.height);
        DeinterlaceStill(m_snapshot.pixels.data(), m_snapshot.stride(), m_frame.pixels.data(),
                         m_frame.stride(), m_frame.width, m_frame.height);
    } else {
        m_frame = m_snapshot;
    }
    const QSize ratio = targetRatio();
    const QSize size =
        stills::CorrectedSize(m_frame.width, m_frame.height, ratio.width(), ratio.height());
    stills::Stretch(m_frame, m_corrected, size.width(), size.height());
    m_session.view().showThumbnail(m_corrected);

    // The moment the picture was filmed: the camcorder's date of that very frame, corrected as
    // the inlay shows it, or else the moment of the grab.
    QDateTime filmedAt = grabbedAt;
    if (dateValid) {
        const double offset = Prm.incrustRec ? Prm.incrustRec->Value.Decalage : 0.0;
        if (const QDateTime dv = dateTimeOf(recDate + offset); dv.isValid())
            filmedAt = dv;
    }
    save(filmedAt, periodic);
}

bool TStillsController::save(const QDateTime& filmedAt, bool periodic) {
    QString name = m_nextName;
    if (name.isEmpty())
        return false;
    if (periodic) {
        // A time-lapse runs unattended: no question waits for anyone, and no picture is lost
        // to one. An image already there keeps its place; the picture takes the next free
        // number, as a cut does for a video.
        for (int tries = 0;
             MustAskOverwriteImage(name, Prm.confirmerImage->Value, RealPathProbe()) &&
             tries < 10000;
             ++tries) {
            FirstName();
            name = m_nextName;
        }
    } else if (MustAskOverwriteImage(name, Prm.confirmerImage->Value, RealPathProbe())) {
        const IPrompts::Answer answer = prompts().question(
            m_session.view().dialogParent(), OverwriteImageQuestion(name), true, true);
        if (answer == IPrompts::All) {
            m_session.view().stopConfirmingImage();
            Prm.confirmerImage->Value = false;
        } else if (answer != IPrompts::Yes) {
            return false; // not written; the next name stays
        }
    }
    QString error;
    const bool ok =
        Prm.extensionDesImages->Value == 1
            ? stills::WriteJpeg(name, m_corrected, Prm.qualiteJpeg->Value, filmedAt, &error)
            : stills::WriteBmp(name, m_corrected, &error);
    if (!ok) {
        qCWarning(lcVidorra) << "still image not saved:" << error;
        m_session.status().setText(0, error, TStatusTexts::Tone::Fault);
        return false;
    }
    if (m_session.recorder())
        m_session.recorder()->AddRecordedFile(name);
    emit saved(name);
    FirstName(); // the counter advances
    return true;
}

void TStillsController::Countdown(int seconds) {
    m_session.view().showCountdown(seconds);
    if (!Prm.beeps || !Prm.beeps->Value)
        return;
    if (seconds == 0)
        m_beeper.Play(0);
    else if (seconds >= 1 && seconds <= 4)
        m_beeper.Play(1);
}

void TStillsController::SwitchChanged(bool on) {
    const ISessionView::Interval choice = m_session.view().intervalChoice();
    GstElement* overlay = m_dm.overlay();
    if (on) {
        const std::optional<int32_t> interval =
            stills::Interval(choice.unit, choice.count, m_dm.videoFormat().frameRate());
        if (!interval) {
            m_session.view().showIntervalometer(false);
            prompts().warning(m_session.view().dialogParent(),
                              QStringLiteral("L'intervalle de %1 %2 est trop long : "
                                             "l'intervallomètre compte jusqu'à 59 heures environ.")
                                  .arg(choice.count)
                                  .arg(choice.unitText));
            return;
        }
        m_interval = *interval;
        if (overlay)
            g_signal_emit_by_name(overlay, "start-intervalometer", guint(m_interval));
    } else if (overlay) {
        g_signal_emit_by_name(overlay, "stop-intervalometer");
    }
    m_running = on;
    m_session.view().showIntervalometer(on);
    if (m_session.recorder())
        m_session.recorder()->UpdateIntervalometerText();
}

QString TStillsController::intervalText() const {
    if (!m_running)
        return {};
    const ISessionView::Interval choice = m_session.view().intervalChoice();
    return QStringLiteral("toutes les %1 %2")
        .arg(choice.count)
        .arg(QLatin1String(kUnits[std::clamp(choice.unit, 0, 3)]));
}
