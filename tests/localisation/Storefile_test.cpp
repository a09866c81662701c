// Storefile_test: the record store's byte layout, cursor, damaged files and read-only rules.
#include "localisation/Lang_Storageobj.h"
#include "tests/common/TestMedia.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kSig = "XOL LANGUAGE FILE";

using Bytes = std::vector<uint8_t>;

void Append32(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// One record as the layout defines it, or with its Size and Back overridden to damage it.
Bytes Record(uint32_t tag, const std::string& data, int64_t size = -1, int64_t back = -1) {
    Bytes r;
    Append32(r, static_cast<uint32_t>(size >= 0 ? size : static_cast<int64_t>(data.size()) + 8));
    Append32(r, tag);
    r.insert(r.end(), data.begin(), data.end());
    Append32(r, static_cast<uint32_t>(back >= 0 ? back : static_cast<int64_t>(data.size()) + 12));
    return r;
}

Bytes Header(uint32_t count, const std::string& sig = kSig) {
    Bytes h(sig.begin(), sig.end());
    Append32(h, count);
    return h;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

std::string NewPath(const std::string& name) {
    static int counter = 0;
    const std::string dir = testmedia::TempDir() + "/store" + std::to_string(++counter);
    fs::create_directories(dir);
    return dir + "/" + name;
}

std::string WriteStore(const Bytes& bytes) {
    const std::string path = NewPath("AVI_0000040C.SPK");
    testmedia::WriteAll(path, bytes);
    return path;
}

void OpenStore(TStorefile& store, const std::string& path, bool readOnly) {
    store.SetSignature(kSig);
    store.SetFilename(path);
    store.SetReadOnly(readOnly);
    store.Open();
}

// Every record from the cursor to the end, read forward.
std::vector<std::string> ReadForward(TStorefile& store) {
    std::vector<std::string> texts;
    for (int guard = 0; !store.Eof() && guard < 1000; ++guard) {
        std::string s;
        store.ReadString(s);
        texts.push_back(s);
    }
    return texts;
}

// Every record from the last back to the first.
std::vector<std::string> ReadBackward(TStorefile& store) {
    std::vector<std::string> texts;
    if (store.Eof() && !store.Prior())
        return texts;
    for (int guard = 0; guard < 1000; ++guard) {
        std::string s;
        store.ReadString(s, false);
        texts.push_back(s);
        if (!store.Prior())
            break;
    }
    return texts;
}

} // namespace

TEST(StorefileLayout, NewStoreAndAppendedRecordsAreByteExact) {
    const std::string path = NewPath("sub/dir/AVI_ORIGINAL.SPK");
    TStorefile store;
    OpenStore(store, path, false);
    ASSERT_TRUE(store.Opened()) << store.LastError();
    EXPECT_EQ(testmedia::ReadAll(path), Header(0));
    EXPECT_EQ(store.Count(), 0);
    EXPECT_TRUE(store.Eof());

    EXPECT_EQ(store.WriteString(1, "abc"), 1);
    EXPECT_EQ(store.WriteString(0, ""), 2);
    EXPECT_EQ(store.WriteInteger(0x200, 0x01020C05), 3);
    const uint8_t raw[] = {0x42, 0x4D, 0x00, 0xFF, 0x7F};
    EXPECT_EQ(store.WriteData(5, raw, 5), 4);
    EXPECT_TRUE(store.Eof());
    // Count reaches the header only when the writer closes.
    EXPECT_EQ(testmedia::ReadAll(path),
              Concat({Header(0),
                      {0x0B, 0, 0, 0, 0x01, 0, 0, 0, 'a', 'b', 'c', 0x0F, 0, 0, 0},
                      {0x08, 0, 0, 0, 0, 0, 0, 0, 0x0C, 0, 0, 0},
                      {0x0C, 0, 0, 0, 0x00, 0x02, 0, 0, 0x05, 0x0C, 0x02, 0x01, 0x10, 0, 0, 0},
                      Record(5, std::string("BM\0\xFF\x7F", 5))}));
    store.Close();
    EXPECT_FALSE(store.Opened());
    const Bytes closed = testmedia::ReadAll(path);
    ASSERT_GE(closed.size(), 21u);
    EXPECT_EQ(Bytes(closed.begin() + 17, closed.begin() + 21), (Bytes{4, 0, 0, 0}));

    // Reopened, the records read back with their tags and values.
    OpenStore(store, path, true);
    ASSERT_TRUE(store.Opened());
    EXPECT_EQ(store.Count(), 4);
    std::string s;
    int32_t v = 0;
    std::vector<uint8_t> data;
    EXPECT_EQ(store.ReadString(s), 1);
    EXPECT_EQ(s, "abc");
    EXPECT_EQ(store.ReadString(s), 0);
    EXPECT_EQ(s, "");
    EXPECT_EQ(store.ReadInteger(v), 0x200);
    EXPECT_EQ(v, 0x01020C05);
    EXPECT_EQ(store.ReadData(data), 5);
    EXPECT_EQ(data, Bytes(raw, raw + 5));
    EXPECT_TRUE(store.Eof());
}

TEST(StorefileLayout, WithoutSignatureCountStartsTheFile) {
    const std::string path = NewPath("plain.bin");
    TStorefile store;
    store.SetFilename(path);
    store.Open();
    store.WriteString(7, "x");
    store.Close();
    EXPECT_EQ(testmedia::ReadAll(path), Concat({Header(1, ""), Record(7, "x")}));
}

TEST(StorefileCursor, WalksForwardBackwardAndByNumber) {
    const std::string path =
        WriteStore(Concat({Header(3), Record(10, "zero"), Record(11, "one"), Record(12, "two")}));
    TStorefile store;
    OpenStore(store, path, true);
    ASSERT_TRUE(store.Opened());

    std::string s;
    ASSERT_TRUE(store.Last());
    EXPECT_EQ(store.RecordIndex(), 2);
    EXPECT_EQ(store.ReadString(s, false), 12);
    EXPECT_EQ(s, "two");
    ASSERT_TRUE(store.Prior());
    EXPECT_EQ(store.ReadString(s, false), 11);
    ASSERT_TRUE(store.Prior());
    EXPECT_EQ(store.ReadString(s, false), 10);
    EXPECT_EQ(store.RecordIndex(), 0);
    EXPECT_FALSE(store.Prior());
    EXPECT_EQ(store.RecordIndex(), 0);

    EXPECT_TRUE(store.Next());
    EXPECT_TRUE(store.Next());
    EXPECT_EQ(store.DataSize(), 3);
    EXPECT_TRUE(store.Next());
    EXPECT_TRUE(store.Eof());
    EXPECT_EQ(store.DataSize(), 0);
    EXPECT_FALSE(store.Next());
    // From the end, Prior steps onto the last record.
    ASSERT_TRUE(store.Prior());
    EXPECT_EQ(store.ReadString(s, false), 12);

    for (int32_t from = 0; from < 3; ++from) {
        for (int32_t to = 0; to < 3; ++to) {
            store.GoTo(from);
            EXPECT_TRUE(store.GoTo(to));
            EXPECT_EQ(store.RecordIndex(), to);
            EXPECT_EQ(store.ReadString(s, false), 10 + to) << from << " -> " << to;
        }
    }
    // Numbers outside 0..Count-1 leave the cursor where it is.
    store.GoTo(1);
    EXPECT_TRUE(store.GoTo(3));
    EXPECT_TRUE(store.GoTo(-1));
    EXPECT_EQ(store.ReadString(s, false), 11);

    ASSERT_TRUE(store.First());
    EXPECT_EQ(ReadForward(store), (std::vector<std::string>{"zero", "one", "two"}));
}

TEST(StorefileReads, PartialWholeAndShortRecords) {
    const std::string path =
        WriteStore(Concat({Header(4), Record(1, std::string("\x34\x12", 2)), Record(2, "abcdef"),
                           Record(3, "xyz"), Record(4, "")}));
    TStorefile store;
    OpenStore(store, path, true);
    ASSERT_TRUE(store.Opened());

    // Asking 4 bytes of a 2-byte record copies 2, and Advance still lands on the next record.
    uint8_t buffer[16] = {};
    int32_t n = 4;
    EXPECT_EQ(store.ReadData(buffer, n), 1);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(store.RecordIndex(), 1);
    n = 2;
    EXPECT_EQ(store.ReadData(buffer, n, false), 2);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 2), "ab");
    n = 0;
    EXPECT_EQ(store.ReadData(buffer, n, false), 2);
    EXPECT_EQ(n, 0);
    n = -1;
    EXPECT_EQ(store.ReadData(buffer, n, false), 2);
    EXPECT_EQ(n, 6);
    n = 100;
    EXPECT_EQ(store.ReadData(buffer, n), 2);
    EXPECT_EQ(n, 6);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 6), "abcdef");

    // An integer takes the first 4 bytes of a longer record and only the bytes there are of a
    // shorter one.
    ASSERT_TRUE(store.First());
    int32_t v = 0x7F7F7F7F;
    EXPECT_EQ(store.ReadInteger(v), 1);
    EXPECT_EQ(v, 0x7F7F1234);
    v = 0;
    EXPECT_EQ(store.ReadInteger(v), 2);
    EXPECT_EQ(v, 0x64636261);

    std::string s = "stale";
    EXPECT_EQ(store.ReadString(s), 3);
    EXPECT_EQ(s, "xyz");
    EXPECT_EQ(store.ReadString(s), 4);
    EXPECT_EQ(s, "");

    // At the end nothing is read and nothing moves.
    ASSERT_TRUE(store.Eof());
    s = "stale";
    n = 4;
    v = 99;
    std::vector<uint8_t> data{1, 2};
    EXPECT_EQ(store.ReadString(s), 0);
    EXPECT_EQ(s, "");
    EXPECT_EQ(store.ReadData(buffer, n), 0);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(store.ReadInteger(v), 0);
    EXPECT_EQ(v, 99);
    EXPECT_EQ(store.ReadData(data), 0);
    EXPECT_TRUE(data.empty());
    EXPECT_EQ(store.RecordIndex(), 4);
}

TEST(StorefileDamage, TruncatedAtEveryLengthReadsTheWholeRecordsBeforeTheCut) {
    const std::vector<std::string> texts = {"language", "", "a longer record of text", "z"};
    Bytes full = Header(4);
    std::vector<size_t> ends;
    for (size_t i = 0; i < texts.size(); ++i) {
        const Bytes r = Record(static_cast<uint32_t>(i), texts[i]);
        full.insert(full.end(), r.begin(), r.end());
        ends.push_back(full.size());
    }
    for (size_t cut = 0; cut <= full.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        const std::string path = WriteStore(Bytes(full.begin(), full.begin() + cut));
        TStorefile store;
        OpenStore(store, path, true);
        if (cut < kSig.size()) {
            EXPECT_FALSE(store.Opened());
            EXPECT_TRUE(store.Eof());
            EXPECT_EQ(store.Count(), 0);
            continue;
        }
        ASSERT_TRUE(store.Opened());
        std::vector<std::string> expected;
        for (size_t i = 0; i < texts.size() && ends[i] <= cut; ++i)
            expected.push_back(texts[i]);
        EXPECT_EQ(ReadForward(store), expected);
        store.Last();
        std::vector<std::string> backward = ReadBackward(store);
        EXPECT_EQ(std::vector<std::string>(backward.rbegin(), backward.rend()), expected);
        store.Close();
        EXPECT_EQ(testmedia::FileSizeOf(path), cut) << "a read-only store changed its file";
    }
}

TEST(StorefileDamage, BadRecordEndsTheData) {
    const Bytes good = Concat({Record(1, "first"), Record(2, "second")});
    struct Case {
        const char* what;
        Bytes tail;
    };
    const std::vector<Case> cases = {
        {"size below 8", Record(3, "bad", 4)},
        {"negative size", Record(3, "bad", 0xFFFFFFF0)},
        {"size past the end", Record(3, "bad", 0x7FFFFFFF)},
        {"size one past the end", Record(3, "bad", 12)},
        {"back field differs", Concat({Record(3, "bad", -1, 14), Record(4, "after")})},
        {"garbage tail", {0x0D, 0, 0, 0, 1}},
        {"zero size", Concat({Bytes(12, 0), Record(4, "after")})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = WriteStore(Concat({Header(5), good, c.tail}));
        TStorefile store;
        OpenStore(store, path, true);
        ASSERT_TRUE(store.Opened());
        EXPECT_EQ(ReadForward(store), (std::vector<std::string>{"first", "second"}));
        EXPECT_EQ(store.DataSize(), 0);
        EXPECT_FALSE(store.Next());
        ASSERT_TRUE(store.Last());
        EXPECT_EQ(ReadBackward(store), (std::vector<std::string>{"second", "first"}));
    }
}

TEST(StorefileDamage, CountDiffersFromTheRecords) {
    // A writer that never closed leaves Count 0 in the header; readers go by the end of file.
    const std::string path = NewPath("AVI_00000407.SPK");
    TStorefile writer;
    OpenStore(writer, path, false);
    writer.WriteString(0, "a");
    writer.WriteString(0, "b");
    writer.WriteString(0, "c");
    {
        TStorefile reader;
        OpenStore(reader, path, true);
        ASSERT_TRUE(reader.Opened());
        EXPECT_EQ(reader.Count(), 0);
        EXPECT_EQ(ReadForward(reader), (std::vector<std::string>{"a", "b", "c"}));
    }
    writer.Close();

    const Bytes three = Concat({Record(0, "a"), Record(0, "b"), Record(0, "c")});
    TStorefile store;
    OpenStore(store, WriteStore(Concat({Header(1), three})), true);
    EXPECT_EQ(store.Count(), 1);
    EXPECT_EQ(ReadForward(store), (std::vector<std::string>{"a", "b", "c"}));
    store.Close();

    // A Count far beyond the records: walks to a number stop at the ends of the data.
    OpenStore(store, WriteStore(Concat({Header(0x7FFFFFFF), three})), true);
    EXPECT_TRUE(store.GoTo(100));
    EXPECT_TRUE(store.Eof());
    EXPECT_TRUE(store.GoTo(0x7FFFFFF0));
    EXPECT_EQ(ReadForward(store), (std::vector<std::string>{"a", "b", "c"}));
    ASSERT_TRUE(store.Last());
    EXPECT_EQ(ReadBackward(store), (std::vector<std::string>{"c", "b", "a"}));
}

TEST(StorefileDamage, AppendDropsAnIgnoredTail) {
    const std::string path =
        WriteStore(Concat({Header(1), Record(1, "kept"), Record(2, "torn", 0x4000)}));
    TStorefile store;
    OpenStore(store, path, false);
    ASSERT_TRUE(store.Opened());
    ASSERT_FALSE(store.ReadOnly());
    while (store.Next()) {
    }
    EXPECT_EQ(store.WriteString(3, "new"), 2);
    store.Close();
    EXPECT_EQ(testmedia::ReadAll(path), Concat({Header(2), Record(1, "kept"), Record(3, "new")}));
}

TEST(StorefileOpen, RefusesWhatIsNotAStoreOfOurs) {
    // Another signature: closed, everything reads as at the end, the file stays as it was.
    const Bytes other = Concat({Header(1, "XOL LANGUAGE FILX"), Record(1, "abc")});
    const std::string path = WriteStore(other);
    TStorefile store;
    OpenStore(store, path, false);
    EXPECT_FALSE(store.Opened());
    EXPECT_FALSE(store.LastError().empty());
    EXPECT_TRUE(store.Eof());
    EXPECT_EQ(store.Count(), 0);
    std::string s = "stale";
    EXPECT_EQ(store.ReadString(s), 0);
    EXPECT_EQ(s, "");
    EXPECT_FALSE(store.First());
    EXPECT_FALSE(store.Last());
    EXPECT_FALSE(store.GoTo(0));
    EXPECT_EQ(store.WriteString(1, "x"), 0);
    store.Close();
    EXPECT_EQ(testmedia::ReadAll(path), other);

    // A FIFO must neither block the open nor be taken for a store.
    const std::string fifo = NewPath("fifo.SPK");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    OpenStore(store, fifo, true);
    EXPECT_FALSE(store.Opened());

    // Bigger than a language file can sensibly be: refused with a reason, not read.
    const std::string big = WriteStore(Header(0));
    fs::resize_file(big, static_cast<uintmax_t>(TStorefile::kMaxFileSize) + 1);
    OpenStore(store, big, true);
    EXPECT_FALSE(store.Opened());
    EXPECT_NE(store.LastError().find("too big"), std::string::npos) << store.LastError();
    fs::resize_file(big, static_cast<uintmax_t>(TStorefile::kMaxFileSize));
    OpenStore(store, big, true);
    EXPECT_TRUE(store.Opened());
    EXPECT_TRUE(store.Eof());
}

TEST(StorefileOpen, NameWithoutFolderIsTakenFromTheWorkingDirectory) {
    const std::string dir = fs::path(NewPath("x")).parent_path().string();
    const fs::path before = fs::current_path();
    fs::current_path(dir);
    TStorefile store;
    OpenStore(store, "AVI_ORIGINAL.SPK", false);
    fs::current_path(before);
    ASSERT_TRUE(store.Opened());
    EXPECT_EQ(fs::path(store.Filename()), fs::path(dir) / "AVI_ORIGINAL.SPK");
    EXPECT_TRUE(fs::exists(fs::path(dir) / "AVI_ORIGINAL.SPK"));
}

TEST(StorefileOpen, AppendsStopAtTheSizeLimit) {
    const std::string path = NewPath("big.SPK");
    TStorefile store;
    OpenStore(store, path, false);
    const int32_t fits = TStorefile::kMaxFileSize - 21 - 12 - 12;
    const std::vector<uint8_t> block(static_cast<size_t>(fits), 0x55);
    EXPECT_EQ(store.WriteData(1, block.data(), fits), 1);
    EXPECT_EQ(store.WriteString(2, ""), 2);
    EXPECT_EQ(store.WriteString(3, "x"), 0);
    store.Close();
    EXPECT_EQ(testmedia::FileSizeOf(path), static_cast<uint64_t>(TStorefile::kMaxFileSize));
}

TEST(StorefileReadOnly, WritesRaiseAndLeaveTheFileAlone) {
    const Bytes bytes = Concat({Header(2), Record(1, "a"), Record(2, "b")});
    const std::string path = WriteStore(bytes);
    TStorefile store;
    OpenStore(store, path, true);
    ASSERT_TRUE(store.Opened());
    EXPECT_TRUE(store.ReadOnly());
    store.Last();
    store.Next();
    try {
        store.WriteString(3, "c");
        FAIL() << "no error raised";
    } catch (const EStorefileError& e) {
        EXPECT_STREQ(e.what(), "Attempt to write a data while in ReadOnly mode");
    }
    EXPECT_THROW(store.WriteInteger(3, 1), EStorefileError);
    EXPECT_THROW(store.WriteData(3, "c", 1), EStorefileError);
    EXPECT_THROW(store.Erase(), EStorefileError);
    store.Close();
    // The setting outlives Close.
    EXPECT_THROW(store.WriteString(3, "c"), EStorefileError);
    EXPECT_EQ(testmedia::ReadAll(path), bytes);

    // ReadOnly does not stop a missing file from being created.
    const std::string fresh = NewPath("new/AVI_00000409.SPK");
    OpenStore(store, fresh, true);
    EXPECT_TRUE(store.Opened());
    EXPECT_THROW(store.WriteString(0, "x"), EStorefileError);
    store.Close();
    EXPECT_EQ(testmedia::ReadAll(fresh), Header(0));
}

TEST(StorefileReadOnly, SharingConflictsFallBackToReading) {
    const Bytes bytes = Concat({Header(1), Record(1, "a")});
    const std::string path = WriteStore(bytes);

    // A writer holds the file: a second writable open gets it for reading only.
    TStorefile writer;
    OpenStore(writer, path, false);
    ASSERT_TRUE(writer.Opened());
    EXPECT_FALSE(writer.ReadOnly());
    TStorefile second;
    OpenStore(second, path, false);
    ASSERT_TRUE(second.Opened());
    EXPECT_TRUE(second.ReadOnly());
    EXPECT_EQ(ReadForward(second), std::vector<std::string>{"a"});
    EXPECT_THROW(second.WriteString(2, "b"), EStorefileError);
    second.Close();
    EXPECT_FALSE(second.ReadOnly());
    writer.Close();

    // A reader denies writes: a writable open must fall back as well.
    TStorefile reader;
    OpenStore(reader, path, true);
    OpenStore(second, path, false);
    ASSERT_TRUE(second.Opened());
    EXPECT_TRUE(second.ReadOnly());
    second.Close();
    reader.Close();

    // Once nobody holds it, writing works again.
    OpenStore(second, path, false);
    EXPECT_FALSE(second.ReadOnly());
    while (second.Next()) {
    }
    EXPECT_EQ(second.WriteString(2, "b"), 2);
}

TEST(StorefileWrites, OnlyAtTheEndOfAnOpenStore) {
    const Bytes bytes = Concat({Header(2), Record(1, "a"), Record(2, "b")});
    const std::string path = WriteStore(bytes);
    TStorefile store;
    EXPECT_EQ(store.WriteString(1, "x"), 0);
    OpenStore(store, path, false);
    ASSERT_TRUE(store.Opened());
    EXPECT_EQ(store.WriteString(3, "c"), 0);
    store.Last();
    EXPECT_EQ(store.WriteString(3, "c"), 0);
    store.Next();
    EXPECT_EQ(store.WriteData(3, nullptr, -1), 0);
    store.Close();
    EXPECT_EQ(testmedia::ReadAll(path), bytes);
}

TEST(StorefileErase, LeavesANewEmptyStoreOrNoFile) {
    const std::string path = WriteStore(Concat({Header(2), Record(1, "a"), Record(2, "b")}));
    TStorefile store;
    OpenStore(store, path, false);
    store.Erase();
    EXPECT_TRUE(store.Opened());
    EXPECT_EQ(store.Count(), 0);
    EXPECT_TRUE(store.Eof());
    EXPECT_EQ(store.WriteString(9, "fresh"), 1);
    store.Close();
    EXPECT_EQ(testmedia::ReadAll(path), Concat({Header(1), Record(9, "fresh")}));

    store.Erase();
    EXPECT_FALSE(store.Opened());
    EXPECT_FALSE(fs::exists(path));
    store.Erase();
    EXPECT_FALSE(fs::exists(path));
}
