#include "app/StripScale.h"

#include "core/CChannels.h"

namespace vocomet {

StripScale StripScaleOf(const CChannels& ch, int h, double previousBaseline) {
    StripScale s;
    switch (ch.scaleMode) {
    case 0:
    case 3:
        s.baseline = 0.5;
        break;
    case 1:
        s.baseline = 0.0;
        break;
    case -1:
        s.baseline = 1.0;
        break;
    default:
        s.baseline = previousBaseline;
        break;
    }
    // Mode 1 runs from 0 at the strip's bottom to full scale at its top;
    // taking the baseline fraction 0 as the scale would draw a flat line.
    s.amplitude = ch.scaleMode == 1 ? h : h * s.baseline;
    const bool velocity = ch.velocityValid != 0 && ch.drawVelocity != 0;
    const bool acceleration = ch.accelerationValid != 0 && ch.drawAcceleration != 0;
    if (velocity && acceleration) {
        if (ch.scaleMode == 0) {
            s.split = 0.33;
            s.shift = 1.0 / 3.0;
        } else if (ch.scaleMode == 1) {
            s.split = 1.0 / 3.0;
            s.shift = 2.0 / 3.0;
        }
    } else if (velocity || acceleration) {
        if (ch.scaleMode == 0) {
            s.split = 0.5;
            s.shift = 0.25;
        } else if (ch.scaleMode == 1) {
            s.split = 0.5;
            s.shift = 0.5;
        }
    }
    return s;
}

}  // namespace vocomet
