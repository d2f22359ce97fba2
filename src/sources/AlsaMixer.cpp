#include "AlsaMixer.h"

#include <alsa/asoundlib.h>

#include <algorithm>

namespace {

// Cards choose their capture input in one of two ways: an enumerated "Capture Source" /
// "Input Source" control listing the inputs, or one capture switch per input element.
class TAlsaMixer : public IAlsaMixer {
public:
    explicit TAlsaMixer(snd_mixer_t* mixer) : m_mixer(mixer) {}
    ~TAlsaMixer() override { snd_mixer_close(m_mixer); }

    QStringList CaptureInputs() override {
        QStringList names;
        if (snd_mixer_elem_t* source = CaptureSourceEnum()) {
            const int n = snd_mixer_selem_get_enum_items(source);
            for (int i = 0; i < n; ++i) {
                char name[128] = {};
                if (snd_mixer_selem_get_enum_item_name(source, unsigned(i), sizeof name - 1,
                                                       name) == 0)
                    names << QString::fromUtf8(name);
            }
            return names;
        }
        for (snd_mixer_elem_t* e = snd_mixer_first_elem(m_mixer); e; e = snd_mixer_elem_next(e))
            if (IsInputSwitch(e))
                names << QString::fromUtf8(snd_mixer_selem_get_name(e));
        return names;
    }

    QString ActiveCaptureInput() override {
        if (snd_mixer_elem_t* source = CaptureSourceEnum()) {
            unsigned item = 0;
            char name[128] = {};
            if (snd_mixer_selem_get_enum_item(source, SND_MIXER_SCHN_FRONT_LEFT, &item) == 0 &&
                snd_mixer_selem_get_enum_item_name(source, item, sizeof name - 1, name) == 0)
                return QString::fromUtf8(name);
            return {};
        }
        for (snd_mixer_elem_t* e = snd_mixer_first_elem(m_mixer); e; e = snd_mixer_elem_next(e)) {
            int on = 0;
            if (IsInputSwitch(e) &&
                snd_mixer_selem_get_capture_switch(e, SND_MIXER_SCHN_FRONT_LEFT, &on) == 0 && on)
                return QString::fromUtf8(snd_mixer_selem_get_name(e));
        }
        return {};
    }

    bool EnableCaptureInput(const QString& wanted) override {
        const QByteArray name = wanted.toUtf8();
        if (snd_mixer_elem_t* source = CaptureSourceEnum()) {
            const int n = snd_mixer_selem_get_enum_items(source);
            for (int i = 0; i < n; ++i) {
                char item[128] = {};
                if (snd_mixer_selem_get_enum_item_name(source, unsigned(i), sizeof item - 1,
                                                       item) == 0 &&
                    name == item)
                    return snd_mixer_selem_set_enum_item(source, SND_MIXER_SCHN_FRONT_LEFT,
                                                         unsigned(i)) == 0;
            }
            return false;
        }
        bool found = false, ok = true;
        for (snd_mixer_elem_t* e = snd_mixer_first_elem(m_mixer); e; e = snd_mixer_elem_next(e)) {
            if (!IsInputSwitch(e))
                continue;
            const bool mine = name == snd_mixer_selem_get_name(e);
            found = found || mine;
            ok = snd_mixer_selem_set_capture_switch_all(e, mine ? 1 : 0) == 0 && ok;
        }
        return found && ok;
    }

    std::vector<Level> CaptureLevels() override {
        std::vector<Level> levels;
        for (snd_mixer_elem_t* e = snd_mixer_first_elem(m_mixer); e; e = snd_mixer_elem_next(e)) {
            if (!snd_mixer_selem_is_active(e) || !snd_mixer_selem_has_capture_volume(e))
                continue;
            Level level;
            level.name = QString::fromUtf8(snd_mixer_selem_get_name(e));
            if (snd_mixer_selem_get_capture_volume_range(e, &level.minimum, &level.maximum) != 0 ||
                level.maximum <= level.minimum ||
                snd_mixer_selem_get_capture_volume(e, SND_MIXER_SCHN_FRONT_LEFT, &level.value) != 0)
                continue;
            levels.push_back(level);
        }
        return levels;
    }

    bool SetCaptureLevel(const QString& wanted, long value) override {
        const QByteArray name = wanted.toUtf8();
        for (snd_mixer_elem_t* e = snd_mixer_first_elem(m_mixer); e; e = snd_mixer_elem_next(e)) {
            if (!snd_mixer_selem_is_active(e) || !snd_mixer_selem_has_capture_volume(e) ||
                name != snd_mixer_selem_get_name(e))
                continue;
            long lo = 0, hi = 0;
            if (snd_mixer_selem_get_capture_volume_range(e, &lo, &hi) != 0)
                return false;
            return snd_mixer_selem_set_capture_volume_all(e, std::clamp(value, lo, hi)) == 0;
        }
        return false;
    }

private:
    snd_mixer_elem_t* CaptureSourceEnum() {
        for (snd_mixer_elem_t* e = snd_mixer_first_elem(m_mixer); e; e = snd_mixer_elem_next(e)) {
            if (!snd_mixer_selem_is_active(e) || !snd_mixer_selem_is_enumerated(e))
                continue;
            const QString name = QString::fromUtf8(snd_mixer_selem_get_name(e));
            if (snd_mixer_selem_is_enum_capture(e) || name == QLatin1String("Capture Source") ||
                name == QLatin1String("Input Source"))
                return e;
        }
        return nullptr;
    }

    static bool IsInputSwitch(snd_mixer_elem_t* e) {
        // The master "Capture" element switches recording as a whole, not an input.
        return snd_mixer_selem_is_active(e) && snd_mixer_selem_has_capture_switch(e) &&
               qstrcmp(snd_mixer_selem_get_name(e), "Capture") != 0;
    }

    snd_mixer_t* m_mixer;
};

} // namespace

std::unique_ptr<IAlsaMixer> OpenAlsaMixer(const QString& card) {
    if (card.isEmpty())
        return nullptr;
    snd_mixer_t* mixer = nullptr;
    if (snd_mixer_open(&mixer, 0) < 0)
        return nullptr;
    const QByteArray name = card.toUtf8();
    if (snd_mixer_attach(mixer, name.constData()) < 0 ||
        snd_mixer_selem_register(mixer, nullptr, nullptr) < 0 || snd_mixer_load(mixer) < 0) {
        snd_mixer_close(mixer);
        return nullptr;
    }
    return std::make_unique<TAlsaMixer>(mixer);
}
