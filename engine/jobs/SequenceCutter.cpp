// SequenceCutter: the lossless cut - TAVIExtractor::CreateOutput and SaveRange, and the copy plan
// they follow.
#include "engine/jobs/SequenceCutter.h"

#include "engine/avi/EngineErrors.h"
#include "engine/decode/Mp3Frames.h"
#include "engine/jobs/U_AVIExtractor.h"

#include "support/files/ReadOnlyFile.h"

#include <algorithm>
#include <climits>

namespace cut {

void OrderForSinglePass(std::vector<CopyItem>& items) {
    // Offsets of one stream are made non-decreasing first, so that the merge below can never
    // swap two items of the same stream.
    uint64_t floor[2] = {0, 0};
    for (CopyItem& item : items) {
        uint64_t& f = floor[item.OutStream == 0 ? 0 : 1];
        item.SourceOffset = std::max(item.SourceOffset, f);
        f = item.SourceOffset;
    }
    std::stable_sort(items.begin(), items.end(), [](const CopyItem& a, const CopyItem& b) {
        return a.SourceOffset < b.SourceOffset;
    });
}

size_t RunEnd(const std::vector<CopyItem>& items, size_t from) {
    uint64_t bytes = 0;
    size_t end = from;
    while (end < items.size() && items[end].WholeChunk && bytes < kMaxRunBytes) {
        const CopyItem& item = items[end];
        if (end > from) {
            const CopyItem& before = items[end - 1];
            if (item.SourceOffset != before.SourceOffset + before.Size + (before.Size & 1) + 8)
                break;
        }
        bytes += 8 + item.Size + (item.Size & 1);
        ++end;
    }
    return end;
}

uint8_t FrameProgress(LONG frame, LONG first, LONG last) {
    if (last <= first)
        return 100;
    const int64_t done = static_cast<int64_t>(frame) - first;
    return static_cast<uint8_t>(std::clamp<int64_t>(done * 100 / (int64_t{last} - first), 0, 100));
}

} // namespace cut

namespace {

using cut::CopyItem;

void Check(HRESULT hr, const char* what) {
    if (hr != AVIERR_OK)
        RaiseAviError(what, hr);
}

// The whole format of a stream, whatever its size: codec extradata makes many video formats
// longer than a bare header, and longer audio formats exist too.
std::vector<uint8_t> ReadWholeFormat(PAVISTREAM stream) {
    LONG size = 0;
    Check(AVIStreamReadFormat(stream, 0, nullptr, &size), "StreamReadFormat");
    std::vector<uint8_t> format(static_cast<size_t>(std::max<LONG>(size, 0)));
    if (!format.empty())
        Check(AVIStreamReadFormat(stream, 0, format.data(), &size), "StreamReadFormat");
    return format;
}

PAVISTREAM CreateStreamLike(PAVIFILE out, const AVISTREAMINFOW& info, PAVISTREAM source) {
    PAVISTREAM stream = nullptr;
    Check(AVIFileCreateStreamW(out, &stream, &info), "CreateStream");
    const std::vector<uint8_t> format = ReadWholeFormat(source);
    const HRESULT hr =
        AVIStreamSetFormat(stream, 0, format.data(), static_cast<LONG>(format.size()));
    if (hr != AVIERR_OK) {
        AVIStreamRelease(stream);
        RaiseAviError("StreamSetFormat", hr);
    }
    return stream;
}

// Where the sample's chunk lies in the source (64-bit), and whether the item takes it whole.
void PlaceItem(PAVISTREAM stream, CopyItem& item) {
    AVISAMPLECHUNK chunk{};
    if (AVIStreamSampleChunk(stream, item.Position, &chunk) != AVIERR_OK)
        return;
    item.SourceOffset = chunk.offset;
    item.Size = chunk.size;
    item.WholeChunk = chunk.firstSample == item.Position && chunk.samples == item.Samples;
}

// Moves a byte position of MP3 data counted in bytes forward to the first frame header at or
// after it, so that a range holds whole frames. Stays put when no frame follows within reach.
LONG AlignToMp3Frame(PAVISTREAM audio, LONG position) {
    const LONG end = AVIStreamStart(audio) + AVIStreamLength(audio);
    constexpr LONG kWindow = 16 * 1024; // several of the largest frames
    std::vector<uint8_t> window;
    for (LONG from = position; from < end; from += kWindow / 2) {
        const LONG want = std::min<LONG>(kWindow, end - from);
        window.resize(static_cast<size_t>(want));
        LONG bytes = 0;
        if (AVIStreamRead(audio, from, want, window.data(), want, &bytes, nullptr) != AVIERR_OK)
            return position;
        window.resize(static_cast<size_t>(bytes));
        // Near the end of the window a frame cannot be confirmed; the next window sees it.
        const bool last = from + bytes >= end;
        const size_t limit = last ? window.size() : window.size() / 2 + 8;
        if (const auto found = mp3::FindFrameStart(window.data(), window.size(), 0);
            found && (*found < limit || last))
            return from + static_cast<LONG>(*found);
        if (bytes <= 0)
            break;
    }
    return position;
}

struct AudioSpan {
    LONG A0 = 0; // first sample of the source audio stream
    LONG a0 = 0; // first sample copied
    LONG a1 = 0; // end of the copy (excluded on the service path, included on the chunk path)
    bool valid = false;
};

// The sample at a time as the service converts it (exact, rounded down below 1000 samples a
// second and up above), not clamped to the stream's length; -1 without a time base.
LONG ChunkSampleAt(const AVISTREAMINFOW& info, LONG ms) {
    if (info.dwRate == 0 || info.dwScale == 0 || ms < 0)
        return -1;
    const uint64_t num = static_cast<uint64_t>(ms) * info.dwRate;
    const uint64_t den = static_cast<uint64_t>(info.dwScale) * 1000;
    const bool up = info.dwRate >= den;
    const uint64_t sample = up ? (num + den - 1) / den : num / den;
    return static_cast<LONG>(std::clamp<uint64_t>(sample, info.dwStart, INT32_MAX));
}

AudioSpan ComputeAudioSpan(const TAVIExtractor& x, LONG first, LONG last) {
    AudioSpan span;
    span.A0 = AVIStreamStart(x.AudioStream);
    // Both ends are the start times of frames: the audio ends where the last frame begins.
    const LONG t0 = AVIStreamSampleToTime(x.VideoStream, first);
    const LONG t1 = AVIStreamSampleToTime(x.VideoStream, last);
    if (t0 < 0 || t1 < 0)
        return span;
    if (x.UseChunkIndex) {
        // One chunk counts as one sample here, while the service's length counts dwSampleSize
        // units of the bytes (a third of the chunks for MP3 declared with 1152): clamping to
        // it would lose the audio of the later part of the file. The chunk list bounds it.
        span.a0 = ChunkSampleAt(x.AudioInfo, t0);
        span.a1 = ChunkSampleAt(x.AudioInfo, t1);
    } else {
        span.a0 = AVIStreamTimeToSample(x.AudioStream, t0);
        span.a1 = AVIStreamTimeToSample(x.AudioStream, t1);
    }
    span.valid = span.a0 >= 0 && span.a1 >= 0;
    // MP3 counted in bytes would otherwise start and end inside frames.
    if (span.valid && !x.UseChunkIndex && x.IsMP3 && x.AudioInfo.dwSampleSize == 1) {
        span.a0 = AlignToMp3Frame(x.AudioStream, span.a0);
        span.a1 = std::max(span.a0, AlignToMp3Frame(x.AudioStream, span.a1));
    }
    return span;
}

void AddVideoItems(const TAVIExtractor& x, LONG first, LONG last, std::vector<CopyItem>& items) {
    for (LONG i = first; i <= last && i >= first; ++i) {
        CopyItem item;
        item.OutStream = 0;
        item.Position = i;
        item.OutPosition = i - first;
        item.Key = AVIStreamFindSample(x.VideoStream, i, FIND_KEY) == i;
        PlaceItem(x.VideoStream, item);
        items.push_back(item);
        if (i == INT32_MAX)
            break;
    }
}

// Service path: the samples [a0, a1), one item per source chunk (or part of one) so that they
// interleave with the video as they did in the source.
void AddServiceAudioItems(const TAVIExtractor& x, const AudioSpan& s,
                          std::vector<CopyItem>& items) {
    for (LONG pos = s.a0; pos < s.a1;) {
        LONG bytes = 0;
        LONG samples = 0;
        Check(AVIStreamRead(x.AudioStream, pos, AVISTREAMREAD_CONVENIENT, nullptr, 0, &bytes,
                            &samples),
              "StreamRead");
        if (samples <= 0)
            break;
        CopyItem item;
        item.OutStream = 1;
        item.Position = pos;
        item.Samples = std::min(samples, s.a1 - pos);
        item.OutPosition = s.A0 + (pos - s.a0);
        PlaceItem(x.AudioStream, item);
        items.push_back(item);
        pos += item.Samples;
    }
}

// Chunk-list path: chunks a0 to a1 inclusive, counted from the stream's first sample, one chunk
// taken as one sample; only chunks the list really holds.
void AddChunkListItems(const TAVIExtractor& x, const AudioSpan& s, std::vector<CopyItem>& items) {
    const auto& chunks = x.Scanner->Chunks;
    const int64_t from = std::max<int64_t>(int64_t{s.a0} - s.A0, 0);
    const int64_t to = std::min<int64_t>(int64_t{s.a1} - s.A0, int64_t(chunks.size()) - 1);
    for (int64_t j = from; j <= to; ++j) {
        const TAviIndexEntry& entry = chunks[static_cast<size_t>(j)];
        CopyItem item;
        item.OutStream = 1;
        item.FromChunkList = true;
        item.Position = static_cast<LONG>(j);
        item.OutPosition = static_cast<LONG>(s.A0 + (j - from));
        item.Size = entry.Size;
        item.SourceOffset = x.Scanner->DataPosition(entry);
        item.WholeChunk = true;
        items.push_back(item);
    }
}

// Everything a cut of [first, last] copies, in the order it copies it.
std::vector<CopyItem> PlanItems(const TAVIExtractor& x, LONG first, LONG last) {
    std::vector<CopyItem> items;
    AddVideoItems(x, first, last, items);
    if (x.HasAudio && x.AudioReadable) {
        const AudioSpan span = ComputeAudioSpan(x, first, last);
        if (span.valid && x.UseChunkIndex && x.Scanner)
            AddChunkListItems(x, span, items);
        else if (span.valid && !x.UseChunkIndex)
            AddServiceAudioItems(x, span, items);
    }
    cut::OrderForSinglePass(items);
    return items;
}

// Releases whatever the cut holds on every exit, completing the output so that even a failed
// cut leaves a readable file of what was written.
struct OutputGuard {
    TAVIExtractor& x;
    PAVISTREAM video = nullptr;
    PAVISTREAM audio = nullptr;

    int systemError = 0; // errno behind a failed write, kept past the release

    HRESULT Finish() {
        if (audio)
            AVIStreamRelease(audio);
        if (video)
            AVIStreamRelease(video);
        audio = video = nullptr;
        HRESULT hr = AVIERR_OK;
        if (x.OutputFile) {
            hr = AVIFileFinish(x.OutputFile);
            systemError = AVIFileSystemError(x.OutputFile);
            AVIFileRelease(x.OutputFile);
            x.OutputFile = nullptr;
        }
        x.Writing = false;
        return hr;
    }
    void CheckWrite(HRESULT hr) const {
        if (hr != AVIERR_OK)
            RaiseAviError("StreamWrite", hr, AVIFileSystemError(x.OutputFile));
    }
    ~OutputGuard() { Finish(); }
};

} // namespace

void TAVIExtractor::CreateOutput(const std::string& OutputName) {
    if (!Valid)
        return;
    PAVIFILE out = nullptr;
    int systemError = 0;
    const HRESULT hr = AVIFileOpenW(&out, OutputName, OF_CREATE | OF_WRITE, nullptr, &systemError);
    if (hr != AVIERR_OK)
        RaiseAviError("FileOpen", hr, systemError);
    OutputFile = out;
    Writing = true;
}

void TAVIExtractor::SaveRange(int32_t FirstFrame, int32_t LastFrame) {
    auto held = AcquireLock();
    OutputGuard guard{*this};
    if (!Valid || !OutputFile)
        return;

    guard.video = CreateStreamLike(OutputFile, VideoInfo, VideoStream);
    if (HasAudio)
        guard.audio = CreateStreamLike(OutputFile, AudioInfo, AudioStream);

    const LONG first = CutStartFrame(FirstFrame);
    std::vector<CopyItem> items = PlanItems(*this, first, LastFrame);
    // Video chunks spelled as the source spells them ("00db" or "00dc") copy as they lie.
    if (!items.empty())
        (void)AVIStreamSetChunkId(guard.video, AVIStreamChunkId(VideoStream, first));

    // The chunk-list path reads the source itself, only ever for reading.
    std::unique_ptr<ReadOnlyFile> direct;
    if (UseChunkIndex)
        direct = std::make_unique<ReadOnlyFile>(FileName);
    std::vector<uint8_t> buffer;
    const auto copyOne = [&](const CopyItem& item) {
        if (item.FromChunkList) {
            buffer.resize(item.Size);
            if (!direct->IsOpen() ||
                !direct->ReadExactly(item.SourceOffset, buffer.data(), item.Size))
                RaiseAviError("StreamRead", AVIERR_FILEREAD);
            guard.CheckWrite(AVIStreamWrite(guard.audio, item.OutPosition, 1, buffer.data(),
                                            static_cast<LONG>(item.Size), 0, nullptr, nullptr));
            return;
        }
        PAVISTREAM source = item.OutStream == 0 ? VideoStream : AudioStream;
        PAVISTREAM target = item.OutStream == 0 ? guard.video : guard.audio;
        LONG bytes = 0;
        LONG samples = 0;
        Check(AVIStreamRead(source, item.Position, item.Samples, nullptr, 0, &bytes, &samples),
              "StreamRead");
        buffer.resize(static_cast<size_t>(std::max<LONG>(bytes, 0)));
        Check(AVIStreamRead(source, item.Position, item.Samples, buffer.data(), bytes, &bytes,
                            &samples),
              "StreamRead");
        guard.CheckWrite(AVIStreamWrite(target, item.OutPosition, samples, buffer.data(), bytes,
                                        item.Key ? AVIIF_KEYFRAME : 0, nullptr, nullptr));
    };
    int reported = -1;
    const auto report = [&](LONG frame) {
        const uint8_t percent = cut::FrameProgress(frame, first, LastFrame);
        if (OnProgress && percent != reported)
            OnProgress(percent);
        reported = percent;
    };
    const auto progress = [&](const CopyItem& item) {
        if (item.OutStream == 0)
            report(item.Position);
    };
    std::vector<AVIRUNCHUNK> run;
    // Runs report at their end: the start is said first.
    if (!items.empty())
        report(first);
    for (size_t i = 0; i < items.size();) {
        if (ShouldStop && ShouldStop())
            RaiseAviError("SaveRange", AVIERR_USERABORT);
        // Chunks that follow one another in the source go as one run of its bytes: the kernel
        // copies them, and file systems that can share the blocks instead of copying them.
        const size_t end = cut::RunEnd(items, i);
        if (end - i >= 2) {
            run.clear();
            for (size_t k = i; k < end; ++k)
                run.push_back({items[k].OutStream, items[k].OutPosition, items[k].Samples,
                               items[k].Key ? AVIIF_KEYFRAME : 0u, items[k].Size});
            const HRESULT hr = AVIFileWriteRun(OutputFile, SourceFile, items[i].SourceOffset - 8,
                                               run.data(), static_cast<LONG>(run.size()));
            if (hr == AVIERR_OK) {
                for (size_t k = end; k-- > i;) {
                    if (items[k].OutStream == 0) {
                        progress(items[k]);
                        break;
                    }
                }
                i = end;
                continue;
            }
            if (hr != AVIERR_UNSUPPORTED)
                guard.CheckWrite(hr);
        }
        // One by one: a chunk on its own, or a run the writer would not copy as it lies.
        for (const size_t stop = std::max(end, i + 1); i < stop; ++i) {
            copyOne(items[i]);
            progress(items[i]);
        }
    }

    const HRESULT finished = guard.Finish();
    if (OnProgress)
        OnProgress(0);
    if (finished != AVIERR_OK)
        RaiseAviError("StreamWrite", finished, guard.systemError);
}

TCutPlan TAVIExtractor::PlanCut(int32_t FirstFrame, int32_t LastFrame) const {
    TCutPlan plan;
    if (!Valid || !VideoStream || LastFrame < FirstFrame)
        return plan;
    plan.FirstFrame = CutStartFrame(FirstFrame);
    plan.LastFrame = LastFrame;
    plan.DurationMs = FrameTimeMs(LastFrame + 1) - FrameTimeMs(plan.FirstFrame);
    // The chunks with their headers and padding, an index entry each (OpenDML files have two),
    // and the header list with the room the writer keeps for growing into OpenDML.
    uint64_t data = 0;
    uint64_t chunks = 0;
    for (const CopyItem& item : PlanItems(*this, plan.FirstFrame, LastFrame)) {
        data += 8 + uint64_t{item.Size} + (item.Size & 1);
        ++chunks;
    }
    // Past 1 GiB "idx1" covers the first RIFF only, and every chunk gets an "ix##" entry.
    constexpr uint64_t kOneRiff = uint64_t{1} << 30;
    const uint64_t inFirst = data > kOneRiff ? chunks * kOneRiff / data : chunks;
    data += 16 * inFirst + (data > kOneRiff ? 8 * chunks : 0);
    const uint64_t formats =
        ReadWholeFormat(VideoStream).size() + (HasAudio ? ReadWholeFormat(AudioStream).size() : 0);
    plan.Bytes = data + 12 + 512 + formats + (HasAudio ? 2 : 1) * 4200 + 270;
    return plan;
}
