#include "app/ViewLayout.h"

#include <algorithm>

namespace vocomet {

void ViewLayout::LayoutChannels(std::span<CChannels> channels, const platform::Rect& client) {
    m_client = client;
    const int clientWidth = std::max(client.Width(), 0);
    const int clientHeight = std::max(client.Height(), 0);

    previousMarkerStrip = client;
    previousMarkerStrip.left = 0;
    previousMarkerStrip.right = 0;
    for (platform::Rect* r : {&cursorOldStrip, &selectionBand, &markerStrip}) {
        r->top = client.top;
        r->bottom = client.bottom;
    }
    cursorStrip = platform::Rect{0, client.top, 0, client.bottom};
    m_stackHeight = 0;

    const int right = std::max(kLeftMargin, clientWidth - kRightMargin);
    if (channels.size() == 1) {
        CChannels& ch = channels[0];
        const int height = std::max(clientHeight - kSingleStripBottom, 0);
        ch.strip = platform::Rect{kLeftMargin, 0, right, height};
        ch.stripHeight = height;
        m_stackHeight = height;
    } else {
        for (CChannels& ch : channels) {
            if (ch.show == 0)
                continue;
            const int height = std::max(ch.stripHeight, 0);
            ch.strip = platform::Rect{kLeftMargin, m_stackHeight, right, m_stackHeight + height};
            m_stackHeight += height + kStripGap;
        }
    }

    cursorOldStrip.bottom = m_stackHeight;
    selectionBand.bottom = m_stackHeight;
    markerStrip.bottom = m_stackHeight;
}

}  // namespace vocomet
