#include "core/RecordingData.h"

namespace vocomet {

void CopyChannelSettings(const CChannels& from, CChannels& to) {
    to.intensityWindow = from.intensityWindow;
    to.intensityStep = from.intensityStep;
    to.relativeIntensity = from.relativeIntensity;
    to.smoothingOn = from.smoothingOn;
    to.smoothingPoints = from.smoothingPoints;
    to.calA = from.calA;
    to.calB = from.calB;
    to.calC = from.calC;
    to.calD = from.calD;
    to.unit = from.unit;
    to.velocitySmoothing = from.velocitySmoothing;
    to.accelerationSmoothing = from.accelerationSmoothing;
    to.drawVelocity = from.drawVelocity;
    to.drawAcceleration = from.drawAcceleration;
    to.drawPeaks = from.drawPeaks;
    to.drawValleys = from.drawValleys;
    to.drawThresholdMarks = from.drawThresholdMarks;
}

}  // namespace vocomet
