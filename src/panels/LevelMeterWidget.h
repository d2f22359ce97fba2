#pragma once

#include "LevelMeter.h"

#include <QElapsedTimer>
#include <QWidget>
#include <functional>
#include <vector>

class QTimer;

// The sound level meter under the preview: one bar per channel (RMS filled, peak as a thin
// line, the hold line), green up to -18 dBFS, yellow to -6, red above; a clip mark, a mute
// mark and "Pas de son" painted at its right end. It shows the recorded sound, before the
// monitoring volume and the preview gate.
class TLevelMeterWidget : public QWidget {
    Q_OBJECT
public:
    explicit TLevelMeterWidget(QWidget* parent = nullptr);

    // Milliseconds of a steady clock (tests give their own).
    void setClock(std::function<int64_t()> clock) { m_clock = std::move(clock); }

    void setActive(bool active);
    void setMuted(bool muted);
    void setLevels(const std::vector<double>& peakDb, const std::vector<double>& rmsDb);
    const TLevelMeter& meter() const { return m_meter; }
    // Moves the timed marks on (called by the widget's own timer while active).
    void refresh();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int64_t now() const;
    int marksWidth() const;
    void updateToolTip();

    TLevelMeter m_meter;
    std::function<int64_t()> m_clock;
    QElapsedTimer m_elapsed;
    QTimer* m_timer;
    QString m_shownTip;
};
