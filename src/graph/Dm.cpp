#include "Dm.h"

#include <algorithm>

Tdm::Tdm(QObject* parent) : QObject(parent) {}

void Tdm::SetVolume(int volume) {
    m_volume = std::clamp(volume, 0, 10000);
}
