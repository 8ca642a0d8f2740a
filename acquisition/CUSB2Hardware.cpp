#include "acquisition/CUSB2Hardware.h"

namespace vocomet {

CUSB2Hardware::CUSB2Hardware() = default;
CUSB2Hardware::~CUSB2Hardware() = default;

int CUSB2Hardware::OpenDevice() {
    // No device transport yet: nothing answers.
    m_channelCode = -1;
    return 0;
}

}  // namespace vocomet
