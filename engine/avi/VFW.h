// VFW: our AVIFile service - the operations of the platform's Video for Windows AVIFile interface,
// implemented on our own AVI reader and writer. Frame getters attach from the decoder's side
// (engine/decode/FrameGetter.h).
#pragma once

#include "engine/avi/AviTypes.h"

#include <memory>
#include <string>
#include <vector>

namespace avi {
class AviReader;
}

// Opaque handles. Every handle holds a reference; release each stream before its file.
struct AviFileObject;
struct AviStreamObject;
using PAVIFILE = AviFileObject*;
using PAVISTREAM = AviStreamObject*;

void AVIFileInit();
void AVIFileExit();

// FileName is UTF-8. Reading: OF_READ / OF_SHARE_DENY_WRITE. Writing: OF_CREATE | OF_WRITE
// creates (or empties) the file. The handler argument is accepted and ignored. Extension of
// ours: systemError, when given, gets the errno behind an AVIERR_FILEOPEN (0 otherwise).
HRESULT AVIFileOpenW(PAVIFILE* ppfile, const std::string& fileName, UINT mode, const void* handler,
                     int* systemError = nullptr);
HRESULT AVIFileInfoW(PAVIFILE pfile, AVIFILEINFOW* pfi, LONG lSize);
HRESULT AVIFileGetStream(PAVIFILE pfile, PAVISTREAM* ppavi, DWORD fccType, LONG lParam);
HRESULT AVIFileCreateStreamW(PAVIFILE pfile, PAVISTREAM* ppavi, const AVISTREAMINFOW* psi);
// Extension of ours: completes an output file (headers, indexes, flush) and reports a failed or
// short write, which AVIFileRelease, returning a reference count, cannot. Release still follows.
HRESULT AVIFileFinish(PAVIFILE pfile);
// Extension of ours: the errno behind an AVIERR_FILEWRITE of a file being written (ENOSPC for a
// full disk), 0 when there is none.
int AVIFileSystemError(PAVIFILE pfile);
// Extension of ours: the container's model of a file being read (headers and per-stream
// indexes), for the parts of the engine that read chunks themselves; nullptr otherwise. It lives
// as long as the file handle.
const avi::AviReader* AVIFileReader(PAVIFILE pfile);
ULONG AVIFileRelease(PAVIFILE pfile);

HRESULT AVIStreamInfoW(PAVISTREAM pavi, AVISTREAMINFOW* psi, LONG lSize);
HRESULT AVIStreamReadFormat(PAVISTREAM pavi, LONG lPos, void* lpFormat, LONG* lpcbFormat);
HRESULT AVIStreamSetFormat(PAVISTREAM pavi, LONG lPos, const void* lpFormat, LONG cbFormat);
HRESULT AVIStreamRead(PAVISTREAM pavi, LONG lStart, LONG lSamples, void* lpBuffer, LONG cbBuffer,
                      LONG* plBytes, LONG* plSamples);
HRESULT AVIStreamWrite(PAVISTREAM pavi, LONG lStart, LONG lSamples, const void* lpBuffer,
                       LONG cbBuffer, DWORD dwFlags, LONG* plSampWritten, LONG* plBytesWritten);
LONG AVIStreamFindSample(PAVISTREAM pavi, LONG lPos, LONG lFlags);
LONG AVIStreamStart(PAVISTREAM pavi);
LONG AVIStreamLength(PAVISTREAM pavi);
LONG AVIStreamSampleToTime(PAVISTREAM pavi, LONG lSample);
LONG AVIStreamTimeToSample(PAVISTREAM pavi, LONG lTime);
ULONG AVIStreamRelease(PAVISTREAM pavi);

// Extensions of ours for what looks at the frames themselves (key frames of an index that
// cannot be trusted):
// - the first cbBuffer bytes of video sample lStart (fewer when it is shorter); *plBytes gets
//   what was read and *plSize the sample's whole size;
HRESULT AVIStreamReadHead(PAVISTREAM pavi, LONG lStart, void* lpBuffer, LONG cbBuffer,
                          LONG* plBytes, LONG* plSize);
// - whether the stream's key flags come from a file's index that flags some frames and not
//   others (a walked index, or one flagging every frame, says nothing about them);
bool AVIStreamKeyFlagsTrusted(PAVISTREAM pavi);
// - the key frames found, replacing the index's flags (sorted sample numbers). Call it before
//   the stream is used on other threads.
HRESULT AVIStreamSetKeyFrames(PAVISTREAM pavi, const std::vector<LONG>& keys);
// - the shape of one pixel as shown, width:height, from the display shape the file's video
//   properties ("vprp") give; 0:0 when the file says nothing.
HRESULT AVIStreamSampleAspect(PAVISTREAM pavi, LONG* x, LONG* y);

// Extensions of ours for copying runs of chunks straight from a source file:
// - the chunk holding sample lPos of a stream being read: its data's file position and size,
//   and the samples it holds from its first one on;
struct AVISAMPLECHUNK {
    uint64_t offset;  // of the data, after the chunk's 8-byte header
    DWORD size;       // data bytes
    LONG firstSample; // the chunk's first sample (in the stream's numbering, from dwStart)
    LONG samples;     // whole samples it holds (1 for a stream of variable-size samples)
};
HRESULT AVIStreamSampleChunk(PAVISTREAM pavi, LONG lPos, AVISAMPLECHUNK* chunk);
// - chunks of source that lie one after another there, the first one's header at sourcePos,
//   appended to the streams of out as AVIStreamWrite of each would append it, by copying the
//   source's bytes (in the kernel, with shared blocks where the file systems allow it).
//   AVIERR_UNSUPPORTED, with nothing written, when the run cannot be copied as it lies: the
//   caller writes its chunks one by one then.
struct AVIRUNCHUNK {
    LONG stream;   // of out
    LONG position; // where AVIStreamWrite would write it
    LONG samples;
    DWORD flags; // AVIIF_KEYFRAME or 0
    DWORD size;
};
HRESULT AVIFileWriteRun(PAVIFILE out, PAVIFILE source, uint64_t sourcePos,
                        const AVIRUNCHUNK* chunks, LONG count);
// - the chunk id a source spells a video stream's chunks with ("00db" or "00dc"), read from the
//   header of the chunk holding sample lPos, 0 when it cannot be read; and spelling an output
//   video stream's chunks the same way before its first chunk, so that runs copy as they lie.
FOURCC AVIStreamChunkId(PAVISTREAM pavi, LONG lPos);
HRESULT AVIStreamSetChunkId(PAVISTREAM pavi, FOURCC id);

// Something a layer above the container keeps with a stream (the decoder keeps its state
// there, so that stepping does not start over at every getter). It dies with the stream's last
// release. Exchanging puts Attachment in place and hands back what was there; callers that share
// a stream between threads take the attachment out while they use it.
struct AviStreamAttachment {
    virtual ~AviStreamAttachment() = default;
};
std::unique_ptr<AviStreamAttachment>
AVIStreamExchangeAttachment(PAVISTREAM pavi, std::unique_ptr<AviStreamAttachment> Attachment);
