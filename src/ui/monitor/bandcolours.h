#pragma once

// The colour of each quality band, for the band label and the trend.

#include <QColor>

#include "monitor/signalreading.h"

namespace m845 {

[[nodiscard]] inline QColor BandColour(TSignalBand band)
{
    switch (band) {
    case TSignalBand::Excellent:
        return {0, 150, 60};
    case TSignalBand::Good:
        return {110, 170, 0};
    case TSignalBand::Fair:
        return {230, 150, 0};
    case TSignalBand::Poor:
        return {215, 50, 40};
    case TSignalBand::None:
        return {140, 20, 20};
    case TSignalBand::Unknown:
        break;
    }
    return {128, 128, 128};
}

} // namespace m845
