#include "CaptureFormats.h"

uint8_t FrequenceFromLabel(const QString& label) {
    if (label == QLatin1String("32000"))
        return 1;
    if (label == QLatin1String("44100"))
        return 2;
    if (label == QLatin1String("48000"))
        return 3;
    return 0;
}

int AudioRateOfFrequenceDV(uint8_t frequence) {
    switch (frequence) {
    case 1:
        return 32000;
    case 3:
        return 48000;
    default:
        return 44100;
    }
}
