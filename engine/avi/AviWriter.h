// AviWriter: writes an AVI file chunk by chunk in call order, completing headers and indexes at
// the end; continues in OpenDML form ("AVIX", "indx", "ix##") once the first RIFF nears 1 GiB.
#pragma once

#include "engine/avi/AviTypes.h"

#include <memory>
#include <string>
#include <vector>

class AviWriter {
public:
    // Creates (or empties) the file. AVIERR_FILEOPEN when it cannot be created, with the errno in
    // *systemError when asked for.
    static HRESULT Create(const std::string& fileName, std::unique_ptr<AviWriter>& out,
                          int* systemError = nullptr);
    ~AviWriter();

    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // Adds a stream described like psi (fccType, scale, rate, start, sample size, rectangle,
    // name...); returns its number (0, 1, ...). Streams are added before the first sample.
    HRESULT AddStream(const AVISTREAMINFOW& info, int& streamNumber);
    HRESULT SetFormat(int stream, const void* format, size_t size);
    // Format as set, for AVIStreamReadFormat on an output stream.
    const std::vector<uint8_t>& Format(int stream) const;
    // Stream description as it stands (dwLength counts what was written).
    AVISTREAMINFOW StreamInfo(int stream) const;

    // Appends lSamples samples at position lStart (platform rules: the first write fixes the
    // stream's start; video-like streams get empty chunks for skipped positions; fixed-size
    // streams must be written contiguously). Buffered; a failed write is AVIERR_FILEWRITE.
    HRESULT Write(int stream, LONG lStart, LONG lSamples, const void* data, LONG bytes, DWORD flags,
                  LONG* samplesWritten, LONG* bytesWritten);

    // Spells the stream's chunk ids as id ("00db" rather than "00dc", say) where a source spells
    // them so: its chunks can then be copied as they lie. Only video, before its first chunk,
    // and only the other of the two spellings for the stream's number; else AVIERR_BADPARAM.
    HRESULT SetChunkId(int stream, FOURCC id);

    // One chunk of a run of source chunks: what Write would be told of it.
    struct RunChunk {
        int stream = 0;
        LONG position = 0;
        LONG samples = 1;
        bool key = false;
        uint32_t size = 0; // data bytes, without the header
    };
    // Appends chunks that lie one after another in the file sourceFd, the first one's header at
    // sourcePos, by copying the source's bytes, headers included, as one run: in the kernel and
    // with shared blocks where the file systems allow it, padded with "JUNK" before the run so
    // that it lies at the same offset within a block as in the source. Each chunk counts as
    // the Write of it would count; the run is split where a RIFF of the OpenDML form ends.
    // AVIERR_UNSUPPORTED, and nothing written, when a chunk's header in the source is not what
    // this writer writes for it, or its position is not the next of its stream: the caller
    // then writes the chunks one by one.
    HRESULT WriteRun(int sourceFd, uint64_t sourcePos, const std::vector<RunChunk>& chunks);

    // Writes the headers and indexes and flushes. Idempotent; returns the first error seen.
    HRESULT Finish();

    int StreamCount() const;
    // The errno of the first failed write (ENOSPC for a full disk); 0 while all went well.
    int SystemError() const;

    // Size at which a RIFF form is closed and the next one begun (default and upper bound
    // 1 GiB). Tests lower it to reach the OpenDML form without writing gigabytes.
    void SetRiffLimit(uint64_t bytes);

private:
    AviWriter();
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
