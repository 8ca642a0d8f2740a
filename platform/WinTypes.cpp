#include "platform/WinTypes.h"

#include "platform/ByteCodec.h"

namespace platform {

LogFontA LogFontA::Decode(const std::uint8_t* p) {
    LogFontA f;
    f.height = GetI32LE(p + 0);
    f.width = GetI32LE(p + 4);
    f.escapement = GetI32LE(p + 8);
    f.orientation = GetI32LE(p + 12);
    f.weight = GetI32LE(p + 16);
    f.italic = p[20];
    f.underline = p[21];
    f.strikeOut = p[22];
    f.charSet = p[23];
    f.outPrecision = p[24];
    f.clipPrecision = p[25];
    f.quality = p[26];
    f.pitchAndFamily = p[27];
    f.faceName = GetText(p + 28, kFaceNameSize);
    return f;
}

void LogFontA::Encode(std::uint8_t* p) const {
    PutI32LE(p + 0, height);
    PutI32LE(p + 4, width);
    PutI32LE(p + 8, escapement);
    PutI32LE(p + 12, orientation);
    PutI32LE(p + 16, weight);
    p[20] = italic;
    p[21] = underline;
    p[22] = strikeOut;
    p[23] = charSet;
    p[24] = outPrecision;
    p[25] = clipPrecision;
    p[26] = quality;
    p[27] = pitchAndFamily;
    PutText(p + 28, kFaceNameSize, faceName);
}

LogFontA DefaultGuiFont() {
    // The classic GUI font: 8-point sans at 96 dpi, normal weight.
    LogFontA f;
    f.height = -11;
    f.weight = 400;
    f.faceName = "MS Shell Dlg";
    return f;
}

}  // namespace platform
