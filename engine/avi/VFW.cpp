// VFW: the AVIFile operations on our AVI reader (AviReader) and writer (AviWriter), with
// reference-counted file and stream handles.
//
// Behaviour follows Microsoft's documentation of the AVIFile functions; where it leaves a case
// open the choice made here is written next to the function.
#include "engine/avi/VFW.h"

#include "engine/avi/AviReader.h"
#include "engine/avi/AviWriter.h"
#include "support/text/Utf8.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>
#include <numeric>
#include <vector>

struct AviFileObject {
    std::mutex mutex; // guards the reference counts of the file and of its stream handles
    ULONG refs = 1;
    std::unique_ptr<avi::AviReader> reader; // exactly one of reader and writer is set
    std::unique_ptr<AviWriter> writer;
    std::vector<AviStreamObject*> streams; // the live handle of each stream, or null
};

// One handle per stream of a file, shared by every AVIFileGetStream of that stream. It holds a
// reference to its file, so a file released before its streams stays open until they go.
struct AviStreamObject {
    AviFileObject* file = nullptr;
    size_t number = 0;
    ULONG refs = 1;
    std::unique_ptr<AviStreamAttachment> attachment; // guarded by the file's mutex
};

namespace {

using avi::AviStreamIndex;
using avi::StreamModel;

constexpr int64_t kLongMax = std::numeric_limits<LONG>::max();

enum class Round { Down, Up, Nearest };

__extension__ typedef unsigned __int128 Wide;

// a * b / c exactly; false when c is 0 or the result does not fit 64 bits.
bool MulDiv(uint64_t a, uint64_t b, uint64_t c, Round round, uint64_t& result) {
    if (c == 0)
        return false;
    const Wide product = static_cast<Wide>(a) * b;
    Wide q = product / c;
    const Wide rem = product % c;
    if (round == Round::Up && rem != 0)
        ++q;
    else if (round == Round::Nearest && rem * 2 >= c)
        ++q;
    if (q > std::numeric_limits<uint64_t>::max())
        return false;
    result = static_cast<uint64_t>(q);
    return true;
}

bool IsReading(const AviStreamObject* s) {
    return s && s->file && s->file->reader;
}
bool IsWriting(const AviStreamObject* s) {
    return s && s->file && s->file->writer;
}

const StreamModel& Model(const AviStreamObject* s) {
    return s->file->reader->Stream(s->number);
}

// Sample range and time base of a stream, as its AVISTREAMINFOW reports them.
struct Timing {
    int64_t start = 0;
    int64_t length = 0;
    uint32_t scale = 0;
    uint32_t rate = 0;
};

// The stream's start, kept low enough that every sample number fits a LONG.
int64_t EffectiveStart(const StreamModel& m) {
    const int64_t length = m.index.SampleCount();
    return std::min<int64_t>(m.header.start, kLongMax - length);
}

void CopyName(WCHAR (&dst)[64], const std::u16string& name) {
    const size_t n = std::min<size_t>(name.size(), 63);
    std::copy_n(name.begin(), n, dst);
    dst[n] = 0;
}

// The description of a stream being read. As the platform does, the header's values are
// passed on as stored, except:
// - dwLength is what the index holds (chunks, or bytes / dwSampleSize), not the header's
//   count, so that every indexed sample is reachable and no read runs past the index;
// - dwStart is lowered where start + length would not fit a LONG;
// - an empty frame rectangle of a video stream is filled with the bitmap's size.
AVISTREAMINFOW ReaderStreamInfo(const StreamModel& m) {
    AVISTREAMINFOW info{};
    const avi::StreamHeader& h = m.header;
    info.fccType = h.fccType;
    info.fccHandler = h.fccHandler;
    info.dwFlags = h.flags;
    info.wPriority = h.priority;
    info.wLanguage = h.language;
    info.dwScale = h.scale;
    info.dwRate = h.rate;
    info.dwStart = static_cast<DWORD>(EffectiveStart(m));
    info.dwLength = static_cast<DWORD>(m.index.SampleCount());
    info.dwInitialFrames = h.initialFrames;
    info.dwSuggestedBufferSize = h.suggestedBufferSize;
    info.dwQuality = h.quality;
    info.dwSampleSize = h.sampleSize;
    info.rcFrame = {h.frameLeft, h.frameTop, h.frameRight, h.frameBottom};
    if (m.IsVideo() &&
        (info.rcFrame.right <= info.rcFrame.left || info.rcFrame.bottom <= info.rcFrame.top) &&
        m.format.size() >= 12) {
        BITMAPINFOHEADER bi{};
        std::memcpy(&bi, m.format.data(), std::min(m.format.size(), sizeof bi));
        const int64_t height = bi.biHeight < 0 ? -static_cast<int64_t>(bi.biHeight) : bi.biHeight;
        if (bi.biWidth > 0 && height > 0 && height <= kLongMax)
            info.rcFrame = {0, 0, bi.biWidth, static_cast<LONG>(height)};
    }
    // UTF-8 where it is valid; any other byte is taken as Latin-1, as old writers meant.
    CopyName(info.szName, utf8::ToUtf16(m.name, utf8::Invalid::Latin1));
    return info;
}

AVISTREAMINFOW StreamInfoOf(const AviFileObject* f, size_t number) {
    if (f->reader)
        return ReaderStreamInfo(f->reader->Stream(number));
    return f->writer->StreamInfo(static_cast<int>(number));
}

size_t StreamCountOf(const AviFileObject* f) {
    if (f->reader)
        return f->reader->StreamCount();
    return static_cast<size_t>(std::max(f->writer->StreamCount(), 0));
}

Timing TimingOf(const AviStreamObject* s) {
    Timing t;
    if (IsReading(s)) {
        const StreamModel& m = Model(s);
        t.start = EffectiveStart(m);
        t.length = m.index.SampleCount();
        t.scale = m.header.scale;
        t.rate = m.header.rate;
    } else if (IsWriting(s)) {
        const AVISTREAMINFOW info = s->file->writer->StreamInfo(static_cast<int>(s->number));
        t.start = std::min<int64_t>(info.dwStart, kLongMax);
        t.length = std::min<int64_t>(info.dwLength, kLongMax - t.start);
        t.scale = info.dwScale;
        t.rate = info.dwRate;
    }
    return t;
}

// Audio (any stream that is not video) this service refuses to read, so that callers fall
// back to reading the chunks themselves:
// - dwScale or dwRate is 0: samples cannot be placed in time;
// - dwSampleSize > 0 and some chunk is not a whole multiple of it: samples would straddle
//   chunks (typically MP3 or other compressed audio declared with a fixed sample size).
// AVIStreamRead then fails with AVIERR_UNSUPPORTED, for the size query as for the data.
bool RefusesToRead(const StreamModel& m) {
    if (m.IsVideo())
        return false;
    if (m.header.scale == 0 || m.header.rate == 0)
        return true;
    return m.index.SampleSize() > 0 && !m.index.ChunksWholeSamples();
}

// Copies count samples from stream sample s (counted from 0) into out.
HRESULT ReadSamples(const avi::AviReader& r, const AviStreamIndex& idx, int64_t s, int64_t count,
                    uint8_t* out) {
    if (idx.SampleSize() == 0) {
        const avi::IndexedChunk& c = idx.Chunk(static_cast<size_t>(s));
        return r.ReadAt(c.offset, out, c.Size()) ? AVIERR_OK : AVIERR_FILEREAD;
    }
    uint64_t remaining = idx.BytesOf(s, count);
    AviStreamIndex::Location at = idx.Locate(s);
    size_t chunk = at.chunk;
    uint64_t inChunk = at.byteInChunk;
    while (remaining > 0) {
        if (chunk >= idx.ChunkCount())
            return AVIERR_FILEREAD;
        const avi::IndexedChunk& c = idx.Chunk(chunk);
        const uint64_t take = std::min<uint64_t>(remaining, c.Size() - inChunk);
        if (take > 0 && !r.ReadAt(c.offset + inChunk, out, static_cast<size_t>(take)))
            return AVIERR_FILEREAD;
        out += take;
        remaining -= take;
        ++chunk;
        inChunk = 0;
    }
    return AVIERR_OK;
}

void DestroyFile(AviFileObject* f) {
    if (f->writer)
        f->writer->Finish(); // a failure was reported to whoever called AVIFileFinish
    delete f;
}

} // namespace

void AVIFileInit() {}
void AVIFileExit() {}

// OF_CREATE creates (or empties) the file for writing. Any other mode opens an existing file
// for reading; OF_WRITE or OF_READWRITE without OF_CREATE (changing a file in place) is not
// offered: AVIERR_READONLY. Share flags mean nothing here.
HRESULT AVIFileOpenW(PAVIFILE* ppfile, const std::string& fileName, UINT mode,
                     const void* /*handler*/, int* systemError) {
    if (systemError)
        *systemError = 0;
    if (!ppfile)
        return AVIERR_BADPARAM;
    *ppfile = nullptr;
    auto file = std::make_unique<AviFileObject>();
    if ((mode & OF_CREATE) != 0) {
        const HRESULT hr = AviWriter::Create(fileName, file->writer, systemError);
        if (hr != AVIERR_OK)
            return hr;
    } else if ((mode & (OF_WRITE | OF_READWRITE)) != 0) {
        return AVIERR_READONLY;
    } else {
        const HRESULT hr = avi::AviReader::Open(fileName, file->reader, systemError);
        if (hr != AVIERR_OK)
            return hr;
        file->streams.resize(file->reader->StreamCount(), nullptr);
    }
    *ppfile = file.release();
    return AVIERR_OK;
}

// dwStreams counts the stream header lists really present (the main header's count is not
// trusted). dwWidth, dwHeight, dwMaxBytesPerSec, dwSuggestedBufferSize and the index flags
// come from the main header. The time base is the main header's frame duration: dwRate
// 1000000 and dwScale dwMicroSecPerFrame (the first video stream's rate when that is 0), and
// dwLength is the end of the longest stream in that base, rounded to nearest - so it follows
// the indexes like the stream lengths do, not dwTotalFrames (which counts only the first RIFF
// of many OpenDML files). A file being written is described from its streams so far.
HRESULT AVIFileInfoW(PAVIFILE pfile, AVIFILEINFOW* pfi, LONG lSize) {
    if (!pfile)
        return AVIERR_BADHANDLE;
    if (!pfi || lSize < 0)
        return AVIERR_BADPARAM;
    AVIFILEINFOW info{};
    const size_t count = StreamCountOf(pfile);
    std::vector<AVISTREAMINFOW> streams;
    for (size_t i = 0; i < count; ++i)
        streams.push_back(StreamInfoOf(pfile, i));
    const AVISTREAMINFOW* video = nullptr;
    for (const AVISTREAMINFOW& s : streams) {
        if (s.fccType == streamtypeVIDEO && s.dwRate > 0 && s.dwScale > 0) {
            video = &s;
            break;
        }
    }
    info.dwStreams = static_cast<DWORD>(count);
    info.dwRate = 1000000;
    if (pfile->reader) {
        const avi::MainHeader& m = pfile->reader->Main();
        info.dwMaxBytesPerSec = m.maxBytesPerSec;
        info.dwFlags =
            m.flags & (AVIFILEINFO_HASINDEX | AVIFILEINFO_MUSTUSEINDEX | AVIFILEINFO_ISINTERLEAVED |
                       AVIFILEINFO_WASCAPTUREFILE | AVIFILEINFO_COPYRIGHTED);
        info.dwCaps = AVIFILECAPS_CANREAD;
        info.dwSuggestedBufferSize = m.suggestedBufferSize;
        info.dwWidth = m.width;
        info.dwHeight = m.height;
        info.dwScale = m.microSecPerFrame;
    } else {
        info.dwCaps = AVIFILECAPS_CANREAD | AVIFILECAPS_CANWRITE;
        if (video) {
            const int64_t width = int64_t{video->rcFrame.right} - video->rcFrame.left;
            const int64_t height = int64_t{video->rcFrame.bottom} - video->rcFrame.top;
            info.dwWidth = static_cast<DWORD>(std::clamp<int64_t>(width, 0, 0xFFFFFFFF));
            info.dwHeight = static_cast<DWORD>(std::clamp<int64_t>(height, 0, 0xFFFFFFFF));
        }
    }
    if (info.dwScale == 0 && video) {
        info.dwScale = video->dwScale;
        info.dwRate = video->dwRate;
    }
    uint64_t length = 0;
    for (const AVISTREAMINFOW& s : streams) {
        // End of the stream in microseconds, then in units of the file's time base.
        uint64_t us = 0, units = 0;
        const uint64_t end = static_cast<uint64_t>(s.dwStart) + s.dwLength;
        if (s.dwRate == 0 ||
            !MulDiv(end, static_cast<uint64_t>(s.dwScale) * 1000000, s.dwRate, Round::Nearest,
                    us) ||
            !MulDiv(us, info.dwRate, static_cast<uint64_t>(info.dwScale) * 1000000, Round::Nearest,
                    units))
            continue;
        length = std::max(length, units);
    }
    info.dwLength = static_cast<DWORD>(std::min<uint64_t>(length, 0xFFFFFFFFu));
    CopyName(info.szFileType, u"AVI file");
    std::memcpy(pfi, &info, std::min<size_t>(static_cast<size_t>(lSize), sizeof info));
    return AVIERR_OK;
}

// lParam picks the lParam-th stream (from 0) of type fccType; fccType 0 matches any stream.
// Each call adds a reference to the stream's one handle.
HRESULT AVIFileGetStream(PAVIFILE pfile, PAVISTREAM* ppavi, DWORD fccType, LONG lParam) {
    if (!ppavi)
        return AVIERR_BADPARAM;
    *ppavi = nullptr;
    if (!pfile)
        return AVIERR_BADHANDLE;
    std::lock_guard<std::mutex> lock(pfile->mutex);
    const size_t count = StreamCountOf(pfile);
    LONG seen = 0;
    for (size_t i = 0; i < count; ++i) {
        if (fccType != 0 && StreamInfoOf(pfile, i).fccType != fccType)
            continue;
        if (seen++ != lParam)
            continue;
        if (pfile->streams.size() < count)
            pfile->streams.resize(count, nullptr);
        AviStreamObject*& handle = pfile->streams[i];
        if (handle) {
            ++handle->refs;
        } else {
            handle = new AviStreamObject{pfile, i, 1, nullptr};
            ++pfile->refs;
        }
        *ppavi = handle;
        return AVIERR_OK;
    }
    return AVIERR_NODATA;
}

HRESULT AVIFileCreateStreamW(PAVIFILE pfile, PAVISTREAM* ppavi, const AVISTREAMINFOW* psi) {
    if (!ppavi || !psi)
        return AVIERR_BADPARAM;
    *ppavi = nullptr;
    if (!pfile)
        return AVIERR_BADHANDLE;
    if (!pfile->writer)
        return AVIERR_READONLY;
    std::lock_guard<std::mutex> lock(pfile->mutex);
    int number = -1;
    const HRESULT hr = pfile->writer->AddStream(*psi, number);
    if (hr != AVIERR_OK)
        return hr;
    if (number < 0)
        return AVIERR_INTERNAL;
    const auto n = static_cast<size_t>(number);
    if (pfile->streams.size() <= n)
        pfile->streams.resize(n + 1, nullptr);
    AviStreamObject*& handle = pfile->streams[n];
    if (handle) {
        ++handle->refs;
    } else {
        handle = new AviStreamObject{pfile, n, 1, nullptr};
        ++pfile->refs;
    }
    *ppavi = handle;
    return AVIERR_OK;
}

HRESULT AVIFileFinish(PAVIFILE pfile) {
    if (!pfile)
        return AVIERR_BADHANDLE;
    return pfile->writer ? pfile->writer->Finish() : AVIERR_OK;
}

const avi::AviReader* AVIFileReader(PAVIFILE pfile) {
    return pfile ? pfile->reader.get() : nullptr;
}

int AVIFileSystemError(PAVIFILE pfile) {
    return pfile && pfile->writer ? pfile->writer->SystemError() : 0;
}

// Returns the references left. The last one completes a file being written and closes it.
ULONG AVIFileRelease(PAVIFILE pfile) {
    if (!pfile)
        return 0;
    ULONG left;
    {
        std::lock_guard<std::mutex> lock(pfile->mutex);
        left = pfile->refs > 0 ? --pfile->refs : 0;
    }
    if (left == 0)
        DestroyFile(pfile);
    return left;
}

// Copies min(lSize, 204) bytes of the description (see ReaderStreamInfo).
HRESULT AVIStreamInfoW(PAVISTREAM pavi, AVISTREAMINFOW* psi, LONG lSize) {
    if (!pavi || !pavi->file)
        return AVIERR_BADHANDLE;
    if (!psi || lSize < 0)
        return AVIERR_BADPARAM;
    const AVISTREAMINFOW info = StreamInfoOf(pavi->file, pavi->number);
    std::memcpy(psi, &info, std::min<size_t>(static_cast<size_t>(lSize), sizeof info));
    return AVIERR_OK;
}

// A stream has one format whatever lPos says. lpFormat null: *lpcbFormat := the format's size.
// A buffer smaller than the format gets its first *lpcbFormat bytes, *lpcbFormat := the size
// needed, and AVIERR_BUFFERTOOSMALL. Otherwise the format is copied and *lpcbFormat := its size.
HRESULT AVIStreamReadFormat(PAVISTREAM pavi, LONG /*lPos*/, void* lpFormat, LONG* lpcbFormat) {
    if (!pavi || !pavi->file)
        return AVIERR_BADHANDLE;
    if (!lpcbFormat)
        return AVIERR_BADPARAM;
    const std::vector<uint8_t>& format =
        IsReading(pavi) ? Model(pavi).format
                        : pavi->file->writer->Format(static_cast<int>(pavi->number));
    const auto needed = static_cast<LONG>(format.size()); // at most 1 MiB
    if (!lpFormat) {
        *lpcbFormat = needed;
        return AVIERR_OK;
    }
    const LONG room = std::max<LONG>(*lpcbFormat, 0);
    if (const LONG copy = std::min(room, needed); copy > 0)
        std::memcpy(lpFormat, format.data(), static_cast<size_t>(copy));
    *lpcbFormat = needed;
    return room < needed ? AVIERR_BUFFERTOOSMALL : AVIERR_OK;
}

HRESULT AVIStreamSetFormat(PAVISTREAM pavi, LONG /*lPos*/, const void* lpFormat, LONG cbFormat) {
    if (!pavi || !pavi->file)
        return AVIERR_BADHANDLE;
    if (!IsWriting(pavi))
        return AVIERR_READONLY;
    if (cbFormat < 0 || (!lpFormat && cbFormat > 0))
        return AVIERR_BADPARAM;
    return pavi->file->writer->SetFormat(static_cast<int>(pavi->number), lpFormat,
                                         static_cast<size_t>(cbFormat));
}

// Reading, with the stream's valid samples [dwStart, dwStart + dwLength):
// - lpBuffer null: nothing is read; *plBytes and *plSamples say what a read would deliver.
// - dwSampleSize 0 (video, variable-size audio): at most one sample per call, whatever
//   lSamples asks for (lSamples >= 1 or AVISTREAMREAD_CONVENIENT); a buffer smaller than that
//   sample is AVIERR_BUFFERTOOSMALL with *plBytes := the sample's size.
// - fixed sample size: lSamples samples, cut at the end of the stream and to the whole samples
//   that fit in cbBuffer (AVIERR_BUFFERTOOSMALL when not even one fits); the convenient amount
//   is the rest of the chunk holding lStart.
// - lSamples 0 is a valid empty read at any position from dwStart to dwStart + dwLength.
// - Otherwise lStart outside the valid samples is AVIERR_NODATA, lSamples below -1 or a
//   negative cbBuffer AVIERR_BADPARAM, and audio refused by RefusesToRead AVIERR_UNSUPPORTED.
// - Output streams cannot be read back: AVIERR_UNSUPPORTED.
HRESULT AVIStreamRead(PAVISTREAM pavi, LONG lStart, LONG lSamples, void* lpBuffer, LONG cbBuffer,
                      LONG* plBytes, LONG* plSamples) {
    if (plBytes)
        *plBytes = 0;
    if (plSamples)
        *plSamples = 0;
    if (!pavi || !pavi->file)
        return AVIERR_BADHANDLE;
    if (!IsReading(pavi))
        return AVIERR_UNSUPPORTED;
    const StreamModel& m = Model(pavi);
    if (RefusesToRead(m))
        return AVIERR_UNSUPPORTED;
    if (lSamples < AVISTREAMREAD_CONVENIENT || cbBuffer < 0)
        return AVIERR_BADPARAM;
    const Timing t = TimingOf(pavi);
    const AviStreamIndex& idx = m.index;
    if (lSamples == 0)
        return lStart >= t.start && lStart <= t.start + t.length ? AVIERR_OK : AVIERR_NODATA;
    if (lStart < t.start || lStart >= t.start + t.length)
        return AVIERR_NODATA;
    const int64_t s = lStart - t.start;
    const uint32_t sampleSize = idx.SampleSize();
    int64_t n = 1;
    int64_t bytes = 0;
    if (sampleSize == 0) {
        bytes = idx.Chunk(static_cast<size_t>(s)).Size();
        if (lpBuffer && cbBuffer < bytes) {
            if (plBytes)
                *plBytes = static_cast<LONG>(bytes);
            return AVIERR_BUFFERTOOSMALL;
        }
    } else {
        n = lSamples == AVISTREAMREAD_CONVENIENT ? idx.SamplesLeftInChunk(s)
                                                 : std::min<int64_t>(lSamples, t.length - s);
        n = std::min<int64_t>(n, kLongMax / sampleSize); // the byte count must fit a LONG
        if (lpBuffer) {
            const int64_t fit = static_cast<int64_t>(cbBuffer) / sampleSize;
            if (fit == 0) {
                if (plBytes)
                    *plBytes = static_cast<LONG>(sampleSize);
                return AVIERR_BUFFERTOOSMALL;
            }
            n = std::min(n, fit);
        }
        bytes = n * sampleSize;
    }
    if (lpBuffer) {
        const HRESULT hr =
            ReadSamples(*pavi->file->reader, idx, s, n, static_cast<uint8_t*>(lpBuffer));
        if (hr != AVIERR_OK)
            return hr;
    }
    if (plBytes)
        *plBytes = static_cast<LONG>(bytes);
    if (plSamples)
        *plSamples = static_cast<LONG>(n);
    return AVIERR_OK;
}

HRESULT AVIStreamWrite(PAVISTREAM pavi, LONG lStart, LONG lSamples, const void* lpBuffer,
                       LONG cbBuffer, DWORD dwFlags, LONG* plSampWritten, LONG* plBytesWritten) {
    if (plSampWritten)
        *plSampWritten = 0;
    if (plBytesWritten)
        *plBytesWritten = 0;
    if (!pavi || !pavi->file)
        return AVIERR_BADHANDLE;
    if (!IsWriting(pavi))
        return AVIERR_READONLY;
    return pavi->file->writer->Write(static_cast<int>(pavi->number), lStart, lSamples, lpBuffer,
                                     cbBuffer, dwFlags, plSampWritten, plBytesWritten);
}

// Searches include lPos itself. Kinds: FIND_KEY (key frames; every sample of a stream other
// than video is one), FIND_ANY (samples with data: zero-byte chunks are skipped), FIND_FORMAT
// (a stream has one format, so its only change is at dwStart); no kind given: any sample.
// Directions: FIND_PREV backward, FIND_NEXT forward, FIND_FROM_START forward from dwStart; no
// direction counts as FIND_PREV (the nearest-key-frame search of old). A backward search from
// beyond the end starts at the last sample, a forward one from before dwStart at dwStart; the
// other way round nothing is found. What is returned (FIND_RET): FIND_POS the sample number,
// FIND_LENGTH the samples of its chunk, FIND_OFFSET the file position of the chunk's data (-1
// when it does not fit a LONG), FIND_SIZE the chunk's byte size, FIND_INDEX the chunk's number
// in the index. -1 when nothing is found, the stream is empty or is not being read.
LONG AVIStreamFindSample(PAVISTREAM pavi, LONG lPos, LONG lFlags) {
    if (!IsReading(pavi))
        return -1;
    const StreamModel& m = Model(pavi);
    const AviStreamIndex& idx = m.index;
    const Timing t = TimingOf(pavi);
    if (t.length == 0)
        return -1;
    const LONG kind = lFlags & FIND_TYPE;
    const bool forward = (lFlags & (FIND_NEXT | FIND_FROM_START)) != 0;
    int64_t from = (lFlags & FIND_FROM_START) != 0 ? 0 : static_cast<int64_t>(lPos) - t.start;
    int64_t found = -1;
    if (kind == FIND_FORMAT) {
        found = forward ? (from <= 0 ? 0 : -1) : (from >= 0 ? 0 : -1);
    } else if (kind == FIND_KEY) {
        found = forward ? idx.NextKey(from) : idx.PrevKey(from);
    } else if (kind == FIND_ANY) {
        found = forward ? idx.NextNonEmpty(from) : idx.PrevNonEmpty(from);
    } else if (forward) {
        found = from < t.length ? std::max<int64_t>(from, 0) : -1;
    } else {
        found = from >= 0 ? std::min<int64_t>(from, t.length - 1) : -1;
    }
    if (found < 0)
        return -1;
    const AviStreamIndex::Location at = idx.Locate(found);
    const avi::IndexedChunk& chunk = idx.Chunk(at.chunk);
    switch (lFlags & FIND_RET) {
    case FIND_LENGTH:
        return static_cast<LONG>(idx.SampleSize() == 0 ? 1 : chunk.Size() / idx.SampleSize());
    case FIND_OFFSET:
        return chunk.offset <= static_cast<uint64_t>(kLongMax) ? static_cast<LONG>(chunk.offset)
                                                               : -1;
    case FIND_SIZE:
        return static_cast<LONG>(chunk.Size());
    case FIND_INDEX:
        return static_cast<LONG>(at.chunk);
    default:
        return static_cast<LONG>(found + t.start);
    }
}

LONG AVIStreamStart(PAVISTREAM pavi) {
    if (!pavi || !pavi->file)
        return -1;
    return static_cast<LONG>(TimingOf(pavi).start);
}

LONG AVIStreamLength(PAVISTREAM pavi) {
    if (!pavi || !pavi->file)
        return -1;
    return static_cast<LONG>(TimingOf(pavi).length);
}

// Both conversions work as the platform's runtime does: the sample is clamped to
// [dwStart, dwStart + dwLength] (before converting to time, after converting from it), the
// arithmetic is exact integer arithmetic, and results round down when dwRate / dwScale is below
// 1000 (video, MP3 counted in frames) and up otherwise (PCM, audio counted in bytes). A dwRate
// (or, for time to sample, a dwScale) of 0 gives -1, as does a time beyond a LONG.
LONG AVIStreamSampleToTime(PAVISTREAM pavi, LONG lSample) {
    if (!pavi || !pavi->file)
        return -1;
    const Timing t = TimingOf(pavi);
    if (t.rate == 0)
        return -1;
    const int64_t sample = std::clamp<int64_t>(lSample, t.start, t.start + t.length);
    const Round round = t.rate < static_cast<uint64_t>(t.scale) * 1000 ? Round::Down : Round::Up;
    uint64_t ms = 0;
    if (!MulDiv(static_cast<uint64_t>(sample) * t.scale, 1000, t.rate, round, ms) ||
        ms > static_cast<uint64_t>(kLongMax))
        return -1;
    return static_cast<LONG>(ms);
}

LONG AVIStreamTimeToSample(PAVISTREAM pavi, LONG lTime) {
    if (!pavi || !pavi->file)
        return -1;
    const Timing t = TimingOf(pavi);
    if (t.rate == 0 || t.scale == 0)
        return -1;
    const Round round = t.rate < static_cast<uint64_t>(t.scale) * 1000 ? Round::Down : Round::Up;
    uint64_t sample = 0;
    if (lTime > 0 && !MulDiv(static_cast<uint64_t>(lTime), t.rate,
                             static_cast<uint64_t>(t.scale) * 1000, round, sample))
        return -1;
    return static_cast<LONG>(std::clamp<int64_t>(
        static_cast<int64_t>(std::min<uint64_t>(sample, static_cast<uint64_t>(kLongMax))), t.start,
        t.start + t.length));
}

// Returns the references left on the stream. Its last release gives up its reference to the
// file, which closes (and completes, when written) once nothing else holds it.
ULONG AVIStreamRelease(PAVISTREAM pavi) {
    if (!pavi || !pavi->file)
        return 0;
    AviFileObject* f = pavi->file;
    ULONG left;
    ULONG fileLeft = 1;
    std::unique_ptr<AviStreamAttachment> attachment;
    {
        std::lock_guard<std::mutex> lock(f->mutex);
        left = pavi->refs > 0 ? --pavi->refs : 0;
        if (left == 0) {
            if (pavi->number < f->streams.size() && f->streams[pavi->number] == pavi)
                f->streams[pavi->number] = nullptr;
            attachment = std::move(pavi->attachment);
            delete pavi;
            fileLeft = f->refs > 0 ? --f->refs : 0;
        }
    }
    // What a layer above kept with the stream (a decoder, say) goes before the file it reads.
    attachment.reset();
    if (fileLeft == 0)
        DestroyFile(f);
    return left;
}

HRESULT AVIStreamReadHead(PAVISTREAM pavi, LONG lStart, void* lpBuffer, LONG cbBuffer,
                          LONG* plBytes, LONG* plSize) {
    if (plBytes)
        *plBytes = 0;
    if (plSize)
        *plSize = 0;
    if (!IsReading(pavi))
        return AVIERR_BADHANDLE;
    if (cbBuffer < 0 || (cbBuffer > 0 && !lpBuffer))
        return AVIERR_BADPARAM;
    const StreamModel& m = Model(pavi);
    const Timing t = TimingOf(pavi);
    if (m.index.SampleSize() != 0 || lStart < t.start || lStart >= t.start + t.length)
        return AVIERR_NODATA;
    const avi::IndexedChunk& c = m.index.Chunk(static_cast<size_t>(lStart - t.start));
    const uint32_t take = std::min<uint32_t>(c.Size(), static_cast<uint32_t>(cbBuffer));
    if (take > 0 && !pavi->file->reader->ReadAt(c.offset, lpBuffer, take))
        return AVIERR_FILEREAD;
    if (plBytes)
        *plBytes = static_cast<LONG>(take);
    if (plSize)
        *plSize = static_cast<LONG>(c.Size());
    return AVIERR_OK;
}

HRESULT AVIStreamSampleChunk(PAVISTREAM pavi, LONG lPos, AVISAMPLECHUNK* chunk) {
    if (!IsReading(pavi))
        return AVIERR_BADHANDLE;
    if (!chunk)
        return AVIERR_BADPARAM;
    const StreamModel& m = Model(pavi);
    const Timing t = TimingOf(pavi);
    if (lPos < t.start || lPos >= t.start + t.length)
        return AVIERR_NODATA;
    const AviStreamIndex& idx = m.index;
    const int64_t s = lPos - t.start;
    const AviStreamIndex::Location at = idx.Locate(s);
    const avi::IndexedChunk& c = idx.Chunk(at.chunk);
    chunk->offset = c.offset;
    chunk->size = c.Size();
    if (idx.SampleSize() == 0) {
        chunk->firstSample = lPos;
        chunk->samples = 1;
    } else {
        const int64_t before = at.byteInChunk / idx.SampleSize();
        chunk->firstSample = static_cast<LONG>(lPos - before);
        chunk->samples = static_cast<LONG>(c.Size() / idx.SampleSize());
    }
    return AVIERR_OK;
}

HRESULT AVIFileWriteRun(PAVIFILE out, PAVIFILE source, uint64_t sourcePos,
                        const AVIRUNCHUNK* chunks, LONG count) {
    if (!out || !source || !out->writer || !source->reader)
        return AVIERR_BADHANDLE;
    if (count < 0 || (count > 0 && !chunks))
        return AVIERR_BADPARAM;
    std::vector<AviWriter::RunChunk> run;
    run.reserve(static_cast<size_t>(count));
    for (LONG i = 0; i < count; ++i) {
        const AVIRUNCHUNK& c = chunks[i];
        run.push_back({static_cast<int>(c.stream), c.position, c.samples,
                       (c.flags & AVIIF_KEYFRAME) != 0, c.size});
    }
    return out->writer->WriteRun(source->reader->Descriptor(), sourcePos, run);
}

FOURCC AVIStreamChunkId(PAVISTREAM pavi, LONG lPos) {
    AVISAMPLECHUNK chunk{};
    uint8_t id[4];
    if (AVIStreamSampleChunk(pavi, lPos, &chunk) != AVIERR_OK || chunk.offset < 8 ||
        !pavi->file->reader->ReadAt(chunk.offset - 8, id, sizeof id))
        return 0;
    return mmioFOURCC(static_cast<char>(id[0]), static_cast<char>(id[1]), static_cast<char>(id[2]),
                      static_cast<char>(id[3]));
}

HRESULT AVIStreamSetChunkId(PAVISTREAM pavi, FOURCC id) {
    if (!IsWriting(pavi))
        return AVIERR_READONLY;
    return pavi->file->writer->SetChunkId(static_cast<int>(pavi->number), id);
}

HRESULT AVIStreamSampleAspect(PAVISTREAM pavi, LONG* x, LONG* y) {
    if (!x || !y)
        return AVIERR_BADPARAM;
    *x = *y = 0;
    if (!IsReading(pavi))
        return AVIERR_READONLY;
    const StreamModel& m = Model(pavi);
    if (m.aspectX == 0 || m.activeWidth == 0 || m.activeHeight == 0)
        return AVIERR_OK;
    // The display shape over the picture's shape, as a reduced fraction.
    uint64_t num = uint64_t{m.aspectX} * m.activeHeight;
    uint64_t den = uint64_t{m.aspectY} * m.activeWidth;
    const uint64_t divisor = std::gcd(num, den);
    num /= divisor;
    den /= divisor;
    if (num > 0x7FFFFFFF || den > 0x7FFFFFFF)
        return AVIERR_OK;
    *x = static_cast<LONG>(num);
    *y = static_cast<LONG>(den);
    return AVIERR_OK;
}

bool AVIStreamKeyFlagsTrusted(PAVISTREAM pavi) {
    if (!IsReading(pavi))
        return false;
    const StreamModel& m = Model(pavi);
    if (m.source == avi::IndexSource::Walk)
        return false;
    const size_t keys = m.index.KeyCount();
    return keys > 0 && (keys < static_cast<size_t>(m.index.SampleCount()) || keys == 1);
}

HRESULT AVIStreamSetKeyFrames(PAVISTREAM pavi, const std::vector<LONG>& keys) {
    if (!IsReading(pavi))
        return AVIERR_BADHANDLE;
    const Timing t = TimingOf(pavi);
    std::vector<uint32_t> chunks;
    chunks.reserve(keys.size());
    for (const LONG k : keys) {
        if (k < t.start || k >= t.start + t.length ||
            (!chunks.empty() && static_cast<uint32_t>(k - t.start) <= chunks.back()))
            return AVIERR_BADPARAM;
        chunks.push_back(static_cast<uint32_t>(k - t.start));
    }
    std::lock_guard<std::mutex> lock(pavi->file->mutex);
    pavi->file->reader->SetKeyFrames(pavi->number, std::move(chunks));
    return AVIERR_OK;
}

std::unique_ptr<AviStreamAttachment>
AVIStreamExchangeAttachment(PAVISTREAM pavi, std::unique_ptr<AviStreamAttachment> attachment) {
    if (!pavi || !pavi->file)
        return attachment;
    std::lock_guard<std::mutex> lock(pavi->file->mutex);
    std::swap(pavi->attachment, attachment);
    return attachment;
}
