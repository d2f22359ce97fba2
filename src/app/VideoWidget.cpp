#include "VideoWidget.h"

#include <QFontMetrics>
#include <QPainter>
#include <gst/video/video.h>

TVideoWidget::TVideoWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
}

TVideoWidget::~TVideoWidget() {
    clear();
}

void TVideoWidget::pushSample(GstSample* sample) {
    {
        QMutexLocker lock(&m_lock);
        if (m_sample)
            gst_sample_unref(m_sample);
        m_sample = gst_sample_ref(sample);
    }
    // One repaint request at a time: frames that arrive meanwhile just replace the sample.
    if (!m_updatePending.exchange(true))
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_updatePending = false;
                update();
            },
            Qt::QueuedConnection);
}

void TVideoWidget::clear() {
    QMutexLocker lock(&m_lock);
    if (m_sample)
        gst_sample_unref(m_sample);
    m_sample = nullptr;
}

namespace {
// Maps the sample and calls f with a QImage over its memory (valid during the call only).
template <class F> bool withImage(GstSample* sample, F&& f) {
    GstVideoInfo info;
    GstCaps* caps = gst_sample_get_caps(sample);
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (!caps || !buffer || !gst_video_info_from_caps(&info, caps))
        return false;
    // 24-bit BGR, or 32-bit RGB words in the machine's byte order (what the graph offers).
    QImage::Format format;
    switch (GST_VIDEO_INFO_FORMAT(&info)) {
    case GST_VIDEO_FORMAT_BGR:
        format = QImage::Format_BGR888;
        break;
    case GST_VIDEO_FORMAT_BGRx:
        if (G_BYTE_ORDER != G_LITTLE_ENDIAN)
            return false;
        format = QImage::Format_RGB32;
        break;
    case GST_VIDEO_FORMAT_xRGB:
        if (G_BYTE_ORDER != G_BIG_ENDIAN)
            return false;
        format = QImage::Format_RGB32;
        break;
    default:
        return false;
    }
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ))
        return false;
    const QImage image(static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                       GST_VIDEO_FRAME_WIDTH(&frame), GST_VIDEO_FRAME_HEIGHT(&frame),
                       GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), format);
    f(image);
    gst_video_frame_unmap(&frame);
    return true;
}
} // namespace

QImage TVideoWidget::currentImage() const {
    QMutexLocker lock(&m_lock);
    QImage copy;
    if (m_sample)
        withImage(m_sample, [&](const QImage& image) { copy = image.copy(); });
    return copy;
}

void TVideoWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    GstSample* sample = nullptr;
    {
        QMutexLocker lock(&m_lock);
        if (m_sample)
            sample = gst_sample_ref(m_sample);
    }
    if (!sample || !withImage(sample, [&](const QImage& image) { p.drawImage(rect(), image); }))
        p.fillRect(rect(), Qt::black);
    else
        m_shown.fetch_add(1, std::memory_order_relaxed);
    if (sample)
        gst_sample_unref(sample);
    if (!m_notice.isEmpty()) {
        const QFontMetrics metrics(font());
        const int pad = 4;
        const QRect box(pad, pad, metrics.horizontalAdvance(m_notice) + 2 * pad,
                        metrics.height() + 2 * pad);
        p.fillRect(box, QColor(0, 0, 0, 190));
        p.setPen(Qt::white);
        p.drawText(box, Qt::AlignCenter, m_notice);
    }
}

void TVideoWidget::setNotice(const QString& text) {
    if (text == m_notice)
        return;
    m_notice = text;
    update();
}
