// AviTypes: the records, flags and result codes of the AVIFile interface, kept in the platform's
// binary layouts - the bottom of the AVI container, below the reader, the writer and the
// operations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using UINT = uint32_t;
using HRESULT = int32_t;
using WCHAR = char16_t;
using FOURCC = uint32_t;

constexpr FOURCC mmioFOURCC(char a, char b, char c, char d) {
    return static_cast<FOURCC>(static_cast<uint8_t>(a)) |
           (static_cast<FOURCC>(static_cast<uint8_t>(b)) << 8) |
           (static_cast<FOURCC>(static_cast<uint8_t>(c)) << 16) |
           (static_cast<FOURCC>(static_cast<uint8_t>(d)) << 24);
}
// The same from a four-character literal: FourCC("movi").
constexpr FOURCC FourCC(const char (&code)[5]) {
    return mmioFOURCC(code[0], code[1], code[2], code[3]);
}

// Chunk and list ids of the AVI form, and the OpenDML index types (bIndexType).
namespace ckid {
constexpr FOURCC kRiff = FourCC("RIFF");
constexpr FOURCC kList = FourCC("LIST");
constexpr FOURCC kAvi = FourCC("AVI ");
constexpr FOURCC kAvix = FourCC("AVIX");
constexpr FOURCC kHdrl = FourCC("hdrl");
constexpr FOURCC kAvih = FourCC("avih");
constexpr FOURCC kStrl = FourCC("strl");
constexpr FOURCC kStrh = FourCC("strh");
constexpr FOURCC kStrf = FourCC("strf");
constexpr FOURCC kStrn = FourCC("strn");
constexpr FOURCC kIndx = FourCC("indx");
constexpr FOURCC kOdml = FourCC("odml");
constexpr FOURCC kDmlh = FourCC("dmlh");
constexpr FOURCC kMovi = FourCC("movi");
constexpr FOURCC kRec = FourCC("rec ");
constexpr FOURCC kIdx1 = FourCC("idx1");
constexpr FOURCC kJunk = FourCC("JUNK");
constexpr FOURCC kJunq = FourCC("JUNQ");
constexpr uint8_t kIndexOfIndexes = 0x00;
constexpr uint8_t kIndexOfChunks = 0x01;
} // namespace ckid

constexpr FOURCC streamtypeVIDEO = mmioFOURCC('v', 'i', 'd', 's');
constexpr FOURCC streamtypeAUDIO = mmioFOURCC('a', 'u', 'd', 's');

// Result codes: MAKE_AVIERR(n) = 0x80044000 + n.
constexpr HRESULT MakeAviErr(uint32_t n) {
    return static_cast<HRESULT>(0x80044000u + n);
}
constexpr HRESULT AVIERR_OK = 0;
constexpr HRESULT AVIERR_UNSUPPORTED = MakeAviErr(101);    // 0x80044065
constexpr HRESULT AVIERR_BADFORMAT = MakeAviErr(102);      // 0x80044066
constexpr HRESULT AVIERR_MEMORY = MakeAviErr(103);         // 0x80044067
constexpr HRESULT AVIERR_INTERNAL = MakeAviErr(104);       // 0x80044068
constexpr HRESULT AVIERR_BADFLAGS = MakeAviErr(105);       // 0x80044069
constexpr HRESULT AVIERR_BADPARAM = MakeAviErr(106);       // 0x8004406A
constexpr HRESULT AVIERR_BADSIZE = MakeAviErr(107);        // 0x8004406B
constexpr HRESULT AVIERR_BADHANDLE = MakeAviErr(108);      // 0x8004406C
constexpr HRESULT AVIERR_FILEREAD = MakeAviErr(109);       // 0x8004406D
constexpr HRESULT AVIERR_FILEWRITE = MakeAviErr(110);      // 0x8004406E
constexpr HRESULT AVIERR_FILEOPEN = MakeAviErr(111);       // 0x8004406F
constexpr HRESULT AVIERR_COMPRESSOR = MakeAviErr(112);     // 0x80044070
constexpr HRESULT AVIERR_NOCOMPRESSOR = MakeAviErr(113);   // 0x80044071
constexpr HRESULT AVIERR_READONLY = MakeAviErr(114);       // 0x80044072
constexpr HRESULT AVIERR_NODATA = MakeAviErr(115);         // 0x80044073
constexpr HRESULT AVIERR_BUFFERTOOSMALL = MakeAviErr(116); // 0x80044074
constexpr HRESULT AVIERR_CANTCOMPRESS = MakeAviErr(117);   // 0x80044075
constexpr HRESULT AVIERR_USERABORT = MakeAviErr(198);      // 0x800440C6
constexpr HRESULT AVIERR_ERROR = MakeAviErr(199);          // 0x800440C7

// File open modes (OF_*).
constexpr UINT OF_READ = 0x0000;
constexpr UINT OF_WRITE = 0x0001;
constexpr UINT OF_READWRITE = 0x0002;
constexpr UINT OF_SHARE_EXCLUSIVE = 0x0010;
constexpr UINT OF_SHARE_DENY_WRITE = 0x0020;
constexpr UINT OF_SHARE_DENY_NONE = 0x0040;
constexpr UINT OF_CREATE = 0x1000;

// Index flags.
constexpr DWORD AVIIF_LIST = 0x00000001;
constexpr DWORD AVIIF_KEYFRAME = 0x00000010;
constexpr DWORD AVIIF_NO_TIME = 0x00000100;

// Main header flags.
constexpr DWORD AVIF_HASINDEX = 0x00000010;
constexpr DWORD AVIF_MUSTUSEINDEX = 0x00000020;
constexpr DWORD AVIF_ISINTERLEAVED = 0x00000100;
constexpr DWORD AVIF_TRUSTCKTYPE = 0x00000800;

// AVIFILEINFOW dwFlags and dwCaps.
constexpr DWORD AVIFILEINFO_HASINDEX = 0x00000010;
constexpr DWORD AVIFILEINFO_MUSTUSEINDEX = 0x00000020;
constexpr DWORD AVIFILEINFO_ISINTERLEAVED = 0x00000100;
constexpr DWORD AVIFILEINFO_WASCAPTUREFILE = 0x00010000;
constexpr DWORD AVIFILEINFO_COPYRIGHTED = 0x00020000;
constexpr DWORD AVIFILECAPS_CANREAD = 0x00000001;
constexpr DWORD AVIFILECAPS_CANWRITE = 0x00000002;

// AVIStreamFindSample flags.
constexpr LONG FIND_DIR = 0x0000000F;
constexpr LONG FIND_NEXT = 0x00000001;
constexpr LONG FIND_PREV = 0x00000004;
constexpr LONG FIND_FROM_START = 0x00000008;
constexpr LONG FIND_TYPE = 0x000000F0;
constexpr LONG FIND_KEY = 0x00000010;
constexpr LONG FIND_ANY = 0x00000020;
constexpr LONG FIND_FORMAT = 0x00000040;
constexpr LONG FIND_RET = 0x0000F000;
constexpr LONG FIND_POS = 0x00000000;
constexpr LONG FIND_LENGTH = 0x00001000;
constexpr LONG FIND_OFFSET = 0x00002000;
constexpr LONG FIND_SIZE = 0x00003000;
constexpr LONG FIND_INDEX = 0x00004000;

constexpr LONG AVISTREAMREAD_CONVENIENT = -1;

constexpr WORD WAVE_FORMAT_PCM = 0x0001;
constexpr WORD WAVE_FORMAT_MPEGLAYER3 = 0x0055;

#pragma pack(push, 1)

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct AVIFILEINFOW {
    DWORD dwMaxBytesPerSec;
    DWORD dwFlags;
    DWORD dwCaps;
    DWORD dwStreams;
    DWORD dwSuggestedBufferSize;
    DWORD dwWidth;
    DWORD dwHeight;
    DWORD dwScale;
    DWORD dwRate;
    DWORD dwLength;
    DWORD dwEditCount;
    WCHAR szFileType[64];
};

struct AVISTREAMINFOW {
    DWORD fccType;
    DWORD fccHandler;
    DWORD dwFlags;
    DWORD dwCaps;
    WORD wPriority;
    WORD wLanguage;
    DWORD dwScale;
    DWORD dwRate;
    DWORD dwStart;
    DWORD dwLength;
    DWORD dwInitialFrames;
    DWORD dwSuggestedBufferSize;
    DWORD dwQuality;
    DWORD dwSampleSize;
    RECT rcFrame;
    DWORD dwEditCount;
    DWORD dwFormatChangeCount;
    WCHAR szName[64];
};

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};

struct MPEGLAYER3WAVEFORMAT {
    WAVEFORMATEX wfx;
    WORD wID;
    DWORD fdwFlags;
    WORD nBlockSize;
    WORD nFramesPerBlock;
    WORD nCodecDelay;
};

#pragma pack(pop)

static_assert(sizeof(AVIFILEINFOW) == 172);
static_assert(sizeof(AVISTREAMINFOW) == 204);
static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(sizeof(MPEGLAYER3WAVEFORMAT) == 30);

// The four characters up to the first NUL; bytes that are not printable ASCII show as '?'.
std::string FourCCToString(FOURCC code);
