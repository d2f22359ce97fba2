#pragma once

#include <QObject>

// The graph module: owns the media pipeline of the preview and the recordings.
class Tdm : public QObject {
    Q_OBJECT
public:
    explicit Tdm(QObject* parent = nullptr);

    // Monitoring volume 0..10000 (linear); what is recorded is never affected.
    void SetVolume(int volume);
    int Volume() const { return m_volume; }

private:
    int m_volume = 0;
};
