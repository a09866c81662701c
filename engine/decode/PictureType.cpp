// PictureType: reading the picture headers of MPEG-4 part 2, H.264 and MPEG-1/2.
#include "engine/decode/PictureType.h"

#include <vector>

namespace {

// Reads bits most significant first; past the end every bit reads 0 and Failed() turns true.
class TBits {
public:
    TBits(const uint8_t* Data, size_t Size) : data_(Data), bits_(Size * 8) {}
    uint32_t Read(int Count) {
        uint32_t value = 0;
        for (int i = 0; i < Count; ++i) {
            value <<= 1;
            if (pos_ < bits_)
                value |= (data_[pos_ / 8] >> (7 - pos_ % 8)) & 1u;
            else
                failed_ = true;
            ++pos_;
        }
        return value;
    }
    // Exp-Golomb, unsigned.
    uint32_t Ue() {
        int zeros = 0;
        while (Read(1) == 0) {
            if (failed_ || ++zeros > 31) {
                failed_ = true;
                return 0;
            }
        }
        return ((1u << zeros) - 1) + Read(zeros);
    }
    bool Failed() const { return failed_; }

private:
    const uint8_t* data_;
    size_t bits_;
    size_t pos_ = 0;
    bool failed_ = false;
};

// The payload after the next 00 00 01 start code whose next byte satisfies Wanted, from `from`.
template <typename Pred>
size_t FindStartCode(const uint8_t* d, size_t size, size_t from, Pred Wanted) {
    for (size_t i = from; i + 4 <= size; ++i)
        if (d[i] == 0 && d[i + 1] == 0 && d[i + 2] == 1 && Wanted(d[i + 3]))
            return i + 3;
    return size;
}

// The width of vop_time_increment, from a VOL header (the bytes after its start code).
int TimeIncrementBits(const uint8_t* d, size_t size) {
    TBits b(d, size);
    b.Read(1); // random_accessible_vol
    b.Read(8); // video_object_type_indication
    int verid = 1;
    if (b.Read(1)) { // is_object_layer_identifier
        verid = static_cast<int>(b.Read(4));
        b.Read(3);
    }
    if (b.Read(4) == 15) { // aspect_ratio_info: extended
        b.Read(8);
        b.Read(8);
    }
    if (b.Read(1)) { // vol_control_parameters
        b.Read(3);   // chroma_format, low_delay
        if (b.Read(1)) {
            // vbv_parameters: bit rate, buffer size and occupancy with their markers.
            for (const int n : {15, 1, 15, 1, 15, 1, 3, 11, 1, 15, 1})
                b.Read(n);
        }
    }
    const uint32_t shape = b.Read(2);
    if (shape == 3 && verid != 1)
        b.Read(4);
    b.Read(1); // marker
    const uint32_t resolution = b.Read(16);
    if (b.Failed() || resolution == 0)
        return 0;
    int bits = 1;
    while ((uint32_t{1} << bits) < resolution)
        ++bits;
    return bits;
}

// The first bytes of a NAL unit's payload without its emulation prevention bytes.
std::vector<uint8_t> Unescape(const uint8_t* d, size_t size, size_t limit) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < size && out.size() < limit; ++i) {
        if (i >= 2 && d[i] == 3 && d[i - 1] == 0 && d[i - 2] == 0)
            continue;
        out.push_back(d[i]);
    }
    return out;
}

TPictureType H264SliceType(const uint8_t* nal, size_t size) {
    const std::vector<uint8_t> head = Unescape(nal + 1, size - 1, 16);
    TBits b(head.data(), head.size());
    b.Ue(); // first_mb_in_slice
    const uint32_t type = b.Ue();
    if (b.Failed() || type > 9)
        return TPictureType::Unknown;
    switch (type % 5) {
    case 0:
    case 3: // SP
        return TPictureType::P;
    case 1:
        return TPictureType::B;
    default: // I, SI
        return TPictureType::I;
    }
}

// The first slice of an H.264 frame, its NAL units with start codes or four-byte lengths.
TPictureType H264Type(const uint8_t* d, size_t size) {
    const bool annexB =
        size >= 4 && d[0] == 0 && d[1] == 0 && (d[2] == 1 || (d[2] == 0 && d[3] == 1));
    const auto any = [](uint8_t) { return true; };
    for (size_t at = annexB ? FindStartCode(d, size, 0, any) : 0; at < size;) {
        size_t nal = at;
        size_t end = size;
        if (annexB) {
            end = FindStartCode(d, size, at, any);
            end = end < size ? end - 3 : size;
        } else {
            if (at + 4 > size)
                break;
            const uint64_t length = uint64_t{d[at]} << 24 | uint64_t{d[at + 1]} << 16 |
                                    uint64_t{d[at + 2]} << 8 | d[at + 3];
            nal = at + 4;
            end = length > size - nal ? size : nal + static_cast<size_t>(length);
        }
        if (nal >= size)
            break;
        const int type = d[nal] & 0x1F;
        if ((type == 1 || type == 5) && end > nal + 1)
            return H264SliceType(d + nal, end - nal);
        at = annexB ? FindStartCode(d, size, nal, any) : end;
    }
    return TPictureType::Unknown;
}

TPictureType FromCodingType(int type) {
    switch (type) {
    case 0:
        return TPictureType::I;
    case 1:
        return TPictureType::P;
    case 2:
        return TPictureType::B;
    case 3:
        return TPictureType::S;
    default:
        return TPictureType::Unknown;
    }
}

} // namespace

const char* PictureTypeText(TPictureType Type) {
    switch (Type) {
    case TPictureType::Empty:
        return "empty";
    case TPictureType::NotCoded:
        return "not coded";
    case TPictureType::I:
        return "I";
    case TPictureType::P:
        return "P";
    case TPictureType::B:
        return "B";
    case TPictureType::S:
        return "S";
    case TPictureType::PackedPB:
        return "P+B";
    case TPictureType::Unknown:
        break;
    }
    return "";
}

void TPictureTyper::LearnHeaders(const uint8_t* Data, size_t Size) {
    if (kind_ != TBitstream::Mpeg4 || timeIncrementBits_ > 0)
        return;
    const size_t vol =
        FindStartCode(Data, Size, 0, [](uint8_t code) { return code >= 0x20 && code <= 0x2F; });
    if (vol < Size)
        timeIncrementBits_ = TimeIncrementBits(Data + vol + 1, Size - vol - 1);
}

TPictureType TPictureTyper::Mpeg4Type(const uint8_t* Data, size_t Size) const {
    const auto vop = [](uint8_t code) { return code == 0xB6; };
    const size_t first = FindStartCode(Data, Size, 0, vop);
    if (first >= Size)
        return TPictureType::Unknown;
    TBits b(Data + first + 1, Size - first - 1);
    const int type = static_cast<int>(b.Read(2));
    if (timeIncrementBits_ > 0) {
        while (b.Read(1) == 1 && !b.Failed()) {
        }          // modulo_time_base
        b.Read(1); // marker
        b.Read(timeIncrementBits_);
        b.Read(1); // marker
        if (b.Read(1) == 0 && !b.Failed())
            return TPictureType::NotCoded;
    }
    // A second VOP in the chunk: the B picture of a packed bitstream.
    if (FindStartCode(Data, Size, first + 1, vop) < Size && type != 2)
        return TPictureType::PackedPB;
    return FromCodingType(type);
}

TPictureType TPictureTyper::TypeOf(const uint8_t* Data, size_t Size, size_t ChunkSize) const {
    if (ChunkSize == 0)
        return TPictureType::Empty;
    switch (kind_) {
    case TBitstream::Mpeg4:
        return Mpeg4Type(Data, Size);
    case TBitstream::H264:
        return H264Type(Data, Size);
    case TBitstream::Mpeg12:
        return FromCodingType(Mpeg12PictureType(Data, Size));
    case TBitstream::Other:
        break;
    }
    return TPictureType::Unknown;
}
