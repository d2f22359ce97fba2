#pragma once

#include <QImage>
#include <QMutex>
#include <QWidget>
#include <atomic>
#include <gst/gst.h>

// The preview picture: the newest frame from the pipeline's video sink, drawn to fill the
// widget (the main window keeps the widget at the picture's ratio).
class TVideoWidget : public QWidget {
    Q_OBJECT
public:
    explicit TVideoWidget(QWidget* parent = nullptr);
    ~TVideoWidget() override;

    // Called on a streaming thread with a 24-bit BGR or 32-bit RGB frame; keeps a ref and
    // schedules a repaint.
    void pushSample(GstSample* sample);
    void clear();
    quint64 framesShown() const { return m_shown.load(); }
    QImage currentImage() const; // a copy of the newest frame, for tests
    // A line drawn over the picture's top left corner (the frozen preview says so); empty
    // for none.
    void setNotice(const QString& text);
    QString notice() const { return m_notice; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    mutable QMutex m_lock; // guards m_sample
    GstSample* m_sample = nullptr;
    std::atomic<bool> m_updatePending{false};
    std::atomic<quint64> m_shown{0};
    QString m_notice;
};
