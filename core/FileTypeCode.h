#pragma once
// The document's file-type code: which kind of file a recording came from.
// It chooses the writer of a Save in place and the kind of native file that
// Save As writes.

namespace vocomet {

enum FileTypeCode : int {
    kFileTypeNone = -1,            // nothing loaded
    kFileTypeNativeFloat24 = 1,    // interleaved native float file, or a fresh sound-card / audio box recording
    kFileTypeWave = 2,
    kFileTypeAiff = 3,             // AIFF or AIFC
    kFileTypeNativeByChannel = 4,  // native file stored channel by channel; saved as the channel-wise float layout
    kFileTypeNsp = 5,
    kFileTypeAscii = 6,
    kFileTypeIntegerBinary = 7,
    kFileTypeNativeMac = 9,        // Macintosh native layout, never written
    kFileTypeNistSphere = 10,
    kFileTypeUsb2Float = 11,       // "USB2_FLOAT" file, or a fresh sixteen-channel recording
};

// What each code stands for, for messages and logs; "" for an unknown code.
inline const char* FileTypeName(int code) {
    switch (code) {
    case kFileTypeNone: return "nothing loaded";
    case kFileTypeNativeFloat24: return "native float file";
    case kFileTypeWave: return "WAV";
    case kFileTypeAiff: return "AIFF or AIFC";
    case kFileTypeNativeByChannel: return "native file stored channel by channel";
    case kFileTypeNsp: return "NSP";
    case kFileTypeAscii: return "ASCII numbers";
    case kFileTypeIntegerBinary: return "integer binary";
    case kFileTypeNativeMac: return "native Macintosh layout";
    case kFileTypeNistSphere: return "NIST SPHERE";
    case kFileTypeUsb2Float: return "USB2_FLOAT file";
    default: return "";
    }
}

// Codes whose files the document can write back under their own name
// (native interleaved, WAV, native channel-wise, USB2_FLOAT). Every other
// code is saved only through Save As.
inline bool IsSavedInPlace(int code) {
    return code == kFileTypeNativeFloat24 || code == kFileTypeWave || code == kFileTypeNativeByChannel ||
           code == kFileTypeUsb2Float;
}

}  // namespace vocomet
