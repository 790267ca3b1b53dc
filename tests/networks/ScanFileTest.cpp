#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include "networks/ScanFile.h"
#include "networks/ScanFileReader.h"
#include "tests/networks/BssidTestSupport.h"
#include "tests/platform/TempFolder.h"

namespace tarvik {
namespace {

using namespace testing_support;
using test::ListFolder;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;
namespace fs = std::filesystem;

constexpr std::int32_t kNow = 1700000000;

// Frames and records built byte by byte, independent of the writer.
struct ByteBuilder {
    Bytes bytes;
    ByteBuilder& U32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        return *this;
    }
    ByteBuilder& Text(std::string_view text) {
        bytes.push_back(static_cast<std::uint8_t>(text.size()));
        bytes.insert(bytes.end(), text.begin(), text.end());
        return *this;
    }
    ByteBuilder& Raw(const Bytes& more) {
        bytes.insert(bytes.end(), more.begin(), more.end());
        return *this;
    }
    ByteBuilder& Position(bool present, std::uint8_t fill) {
        return U32(present ? 1 : 0).Raw(Bytes(present ? kGpsFixBlockSize : 0, fill));
    }
};

// A record of version "1.2" (one position flag) or "1.21" (two).
Bytes RecordBytes(std::uint8_t mac, std::string_view version = "1.21", bool minPosition = false,
                  bool maxPosition = false) {
    ByteBuilder b;
    b.Text("BSSID").Text(version).U32(9).U32(kNow).U32(kNow + 5).U32(-70).U32(-40).U32(-55);
    b.U32(STATUS_NOT_CONNECTED);
    for (int i = 0; i < 8; ++i) b.U32(0);  // security block
    b.U32(1);                              // not suitable for hopping
    const Bytes entry = ndis::BuildBssidEntry(Fields(mac));
    b.U32(static_cast<std::uint32_t>(entry.size())).Raw(entry).Position(minPosition, 0x11);
    if (version == "1.21") b.Position(maxPosition, 0x22);
    return b.bytes;
}

Bytes FrameBytes(std::uint32_t count, std::uint32_t counter, const std::vector<Bytes>& records) {
    ByteBuilder b;
    b.Text("BSSID_LIST").Text("1.2").U32(count).U32(counter);
    for (const Bytes& r : records) b.Raw(r);
    return b.bytes;
}

fs::path Put(const TempFolder& folder, const Bytes& bytes, const char* name = "scan.tvk") {
    WriteFile(folder.Path() / name, std::string(bytes.begin(), bytes.end()));
    return folder.Path() / name;
}

Bytes Stored(CBssid& record) {
    Archive archive = Archive::ForStoring();
    record.Serialize(archive);
    return archive.Data();
}

BssidRecord Record(const ndis::BssidEntryFields& fields, std::uint32_t scan = 3) {
    return std::make_shared<CBssid>(Entry(fields), scan, kNow);
}

std::string MacText(const BssidRecord& r) {
    return std::to_string(r->Entry()->GetMacAddress()[5]);
}

TEST(ScanFileTest, EmptyListIsTheExactFrame) {
    TempFolder folder;
    std::string error;
    ASSERT_EQ(WriteScanFileRecords(folder.Path() / "e.tvk", 0x01020304, {}, error), RES_FILE_SAVED);
    EXPECT_EQ(ReadFile(folder.Path() / "e.tvk"), std::string("\x0a"
                                                             "BSSID_LIST\x03"
                                                             "1.2\0\0\0\0\x04\x03\x02\x01",
                                                             23));
}

// Every kind of record comes back with the same stored bytes.
TEST(ScanFileTest, RoundTripKeepsEveryRecord) {
    std::vector<BssidRecord> records = {
        Record(Fields(1)),                                       // open
        Record(Fields(2, -60, 1)),                               // WEP
        Record(WithElements(Fields(3, -50, 1), {kWpaPskTkip})),  // WPA
        Record(WithElements(Fields(4, -50, 1), {kRsnPskCcmp})),  // WPA2
    };
    ndis::BssidEntryFields hidden = Fields(5), adHoc = Fields(6);
    hidden.SetSsid("");
    adHoc.infrastructureMode = ndis::Ndis802_11IBSS;
    records.insert(records.end(), {Record(hidden), Record(adHoc)});
    records[0]->ToggleNotSuitableForHopping();
    records[1]->AppendRssiSample(-60, 10);  // history is not stored
    PositionSnapshot where;
    where.fix.fill(0x5a);
    records[2]->SetPositionAtMinRssi(where);
    records[3]->SetPositionAtMinRssi(where);
    records[3]->SetPositionAtMaxRssi(where);
    records.push_back(std::make_shared<CBssid>());  // no entry: left out

    TempFolder folder;
    std::string error;
    ASSERT_EQ(WriteScanFileRecords(folder.Path() / "r.tvk", 77, records, error), RES_FILE_SAVED)
        << error;
    const ScanFileContents read = ReadScanFileContents(folder.Path() / "r.tvk");
    ASSERT_EQ(read.status, ScanFileStatus::Read) << read.message;
    EXPECT_EQ(read.scanCounter, 77u);
    ASSERT_EQ(read.records.size(), records.size() - 1);
    EXPECT_EQ(read.declaredCount, records.size() - 1);
    for (std::size_t i = 0; i < read.records.size(); ++i) {
        EXPECT_EQ(Stored(*read.records[i]), Stored(*records[i])) << i;
    }
    EXPECT_TRUE(read.records[1]->RssiHistory().Empty());
    EXPECT_EQ(read.fileBytes, fs::file_size(folder.Path() / "r.tvk"));
}

struct FixtureRow {
    const char* name;
    const char* version;
    bool minPosition, maxPosition;
};

// Records as older and current writers laid them out.
TEST(ScanFileTest, ReadsHandBuiltRecordVersions) {
    const FixtureRow rows[] = {{"OlderBare", "1.2", false, false},
                               {"OlderWithMin", "1.2", true, false},
                               {"CurrentBare", "1.21", false, false},
                               {"CurrentWithMax", "1.21", false, true},
                               {"CurrentWithBoth", "1.21", true, true}};
    TempFolder folder;
    for (const FixtureRow& row : rows) {
        SCOPED_TRACE(row.name);
        const Bytes record = RecordBytes(7, row.version, row.minPosition, row.maxPosition);
        const ScanFileContents read =
            ReadScanFileContents(Put(folder, FrameBytes(2, 12, {record, record})));
        ASSERT_EQ(read.status, ScanFileStatus::Read) << read.message;
        ASSERT_EQ(read.records.size(), 2u);
        EXPECT_EQ(read.olderVersionRecords, row.version == std::string("1.2") ? 2u : 0u);
        const CBssid& r = *read.records[1];
        EXPECT_EQ(MacText(read.records[1]), "7");
        EXPECT_TRUE(r.LastSeenScan() == 9 && r.RssiMin() == -70 && r.NotSuitableForHopping());
        EXPECT_EQ(r.PositionAtMinRssi() ? r.PositionAtMinRssi()->fix[9] : 0,
                  row.minPosition ? 0x11 : 0);
        EXPECT_EQ(r.PositionAtMaxRssi() ? r.PositionAtMaxRssi()->fix[9] : 0,
                  row.maxPosition ? 0x22 : 0);
    }
}

TEST(ScanFileTest, OpenSetsCounterAndMergeKeepsListedRecords) {
    TempFolder folder;
    const fs::path file = Put(folder, FrameBytes(2, 7, {RecordBytes(2), RecordBytes(3)}));

    CNetworkList opened;
    EXPECT_EQ(ApplyScanFile(opened, ReadScanFileContents(file), false), 2u);
    EXPECT_EQ(opened.ScanCounter(), 7u);
    EXPECT_EQ(opened.Records()[1]->LastSeenScan(), 9u);

    CNetworkList list;
    list.SetScanCounter(50);
    list.MergeEntries(std::vector{Entry(Fields(1)), Entry(Fields(2))});  // counter 51
    const BssidRecord listed = list.Records()[1];
    listed->SetLastSeenScan(4);
    EXPECT_EQ(ApplyScanFile(list, ReadScanFileContents(file), true), 1u);
    EXPECT_EQ(list.ScanCounter(), 51u);
    ASSERT_EQ(list.Size(), 3u);
    EXPECT_EQ(list.Records()[1], listed);
    EXPECT_EQ(listed->LastSeenScan(), 51u);  // stamped by the match
    EXPECT_EQ(MacText(list.Records()[2]), "3");
    EXPECT_EQ(list.Records()[2]->LastSeenScan(), 0u);
}

struct DamagedRow {
    const char* name;
    Bytes bytes;
    ScanFileStatus status;
    std::size_t kept;
    std::string says;  // part of the message
};

Bytes Cut(Bytes bytes, std::size_t drop) {
    bytes.resize(bytes.size() - drop);
    return bytes;
}

TEST(ScanFileTest, DamagedFilesKeepTheGoodRecordsAndSayWhere) {
    const Bytes good = RecordBytes(1);
    const std::string second =
        "record 2 of 3 (counting from 1) at byte offset " + std::to_string(23 + good.size());
    Bytes badSignature = RecordBytes(2);
    badSignature[1] = 'X';
    Bytes badVersion = RecordBytes(2, "1.3");
    Bytes hugeString = {0xff, 0xff, 0xff, 0x00, 0x00, 0x00, 0x80};  // a 2 GiB signature
    hugeString.resize(300, 0);
    Bytes noEntry = RecordBytes(2);
    noEntry.resize(6 + 5 + 64);
    noEntry = ByteBuilder{noEntry}.U32(0).U32(0).U32(0).bytes;
    Bytes hugeEntry = RecordBytes(2);
    hugeEntry[6 + 5 + 64 + 3] = 0x7f;  // an entry length near 2 GiB
    Bytes wrongFrame = FrameBytes(0, 0, {});
    wrongFrame[3] = 'X';
    Bytes wrongFrameVersion = FrameBytes(0, 0, {});
    wrongFrameVersion[14] = '3';
    const DamagedRow rows[] = {
        {"TruncatedHeader", Cut(FrameBytes(0, 0, {}), 3), ScanFileStatus::Damaged, 0, "header"},
        {"CutInsideRecord", Cut(FrameBytes(3, 1, {good, good, good}), 10), ScanFileStatus::Damaged,
         2, "record 3 of 3"},
        {"WrongRecordSignature", FrameBytes(3, 1, {good, badSignature, good}),
         ScanFileStatus::Damaged, 1, second},
        {"WrongRecordVersion", FrameBytes(3, 1, {good, badVersion, good}), ScanFileStatus::Damaged,
         1, second},
        {"HugeStringLength", FrameBytes(3, 1, {good, hugeString}), ScanFileStatus::Damaged, 1,
         second},
        {"HugeEntryLength", FrameBytes(3, 1, {good, hugeEntry}), ScanFileStatus::Damaged, 1,
         "entry length runs past the end"},
        {"NoScanEntry", FrameBytes(3, 1, {good, noEntry, good}), ScanFileStatus::Damaged, 1,
         second},
        {"HugeCount", FrameBytes(4000000000u, 1, {good, good}), ScanFileStatus::Damaged, 2,
         "record 3 of 4000000000"},
        {"TrailingBytes", FrameBytes(1, 1, {good, {1, 2, 3}}), ScanFileStatus::Damaged, 1,
         "byte offset " + std::to_string(23 + good.size())},
        {"WrongSignature", wrongFrame, ScanFileStatus::NotScanFile, 0, "not a scan file"},
        {"WrongFrameVersion", wrongFrameVersion, ScanFileStatus::NotScanFile, 0, "\"1.3\""},
        {"Empty", {}, ScanFileStatus::NotScanFile, 0, "empty"},
    };
    TempFolder folder;
    for (const DamagedRow& row : rows) {
        const fs::path file = Put(folder, row.bytes);
        // Tiny reads too, so that records and lengths straddle them.
        for (std::size_t chunk : {std::size_t{7}, std::size_t{1} << 20}) {
            SCOPED_TRACE(std::string(row.name) + " in chunks of " + std::to_string(chunk));
            const int fd = ::open(file.c_str(), O_RDONLY);
            const ScanFileContents read = ReadScanFileDescriptor(fd, file.string(), {}, chunk);
            ::close(fd);
            EXPECT_EQ(read.status, row.status);
            EXPECT_EQ(read.records.size(), row.kept);
            EXPECT_LE(read.records.capacity(), row.bytes.size() / 100);  // whatever the count
            EXPECT_NE(read.message.find(file.string()), std::string::npos) << read.message;
            EXPECT_NE(read.message.find(row.says), std::string::npos) << read.message;
        }
    }
    // Not regular files: refused at once, without waiting for a FIFO's writer.
    const fs::path fifo = folder.Path() / "fifo.tvk", link = folder.Path() / "link.tvk";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const fs::path& path : {fifo, folder.Path(), folder.Path() / "missing.tvk"}) {
        const ScanFileContents read = ReadScanFileContents(path);
        EXPECT_EQ(read.status, ScanFileStatus::CannotOpen) << path;
        EXPECT_NE(read.message.find(path.string()), std::string::npos);
    }
    fs::create_symlink(Put(folder, FrameBytes(1, 4, {good})), link);
    EXPECT_EQ(ReadScanFileContents(link).records.size(), 1u);
}

TEST(ScanFileTest, ProgressIsByBytesAndCanCancel) {
    TempFolder folder;
    const fs::path file = Put(folder, FrameBytes(4000, 1, std::vector(4000, RecordBytes(1))));
    std::vector<std::uint64_t> seen;
    const auto read = ReadScanFileContents(file, [&](std::uint64_t done, std::uint64_t total) {
        EXPECT_EQ(total, fs::file_size(file));
        seen.push_back(done);
        return true;
    });
    EXPECT_EQ(read.records.size(), 4000u);
    EXPECT_TRUE(seen.size() >= 2 && seen.size() < 400) << seen.size();
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), fs::file_size(file));
    const auto cancelled = ReadScanFileContents(file, [](auto, auto) { return false; });
    EXPECT_EQ(cancelled.status, ScanFileStatus::Cancelled);
    EXPECT_TRUE(cancelled.records.empty());
}

// The link stays and its target is replaced; modes are kept or follow the
// umask. A writer that fails or is abandoned leaves the old file as it was
// and no temporary file behind.
TEST(ScanFileTest, WriterReplacesFilesWholeOrNotAtAll) {
    TempFolder folder;
    const Bytes oldBytes = FrameBytes(1, 4, {RecordBytes(1)});
    const fs::path file = Put(folder, oldBytes), link = folder.Path() / "link.tvk";
    ::chmod(file.c_str(), 0640);
    fs::create_symlink("scan.tvk", link);
    const std::vector<BssidRecord> many(200, Record(Fields(2)));
    std::string error;
    const mode_t umask = ::umask(027);
    ASSERT_EQ(WriteScanFileRecords(folder.Path() / "new.tvk", 5, many, error), RES_FILE_SAVED);
    ::umask(umask);
    EXPECT_EQ(fs::status(folder.Path() / "new.tvk").permissions(), fs::perms(0640));
    fs::permissions(folder.Path() / "new.tvk", fs::perms(0604));
    ASSERT_EQ(WriteScanFileRecords(folder.Path() / "new.tvk", 5, many, error), RES_FILE_SAVED);
    EXPECT_EQ(fs::status(folder.Path() / "new.tvk").permissions(), fs::perms(0604));

    EXPECT_EQ(WriteScanFileRecords(folder.Path() / "no" / "x.tvk", 1, many, error),
              RES_FILE_OPEN_FAILED);
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    EXPECT_EQ(WriteScanFileRecords(folder.Path(), 1, many, error), RES_FILE_OPEN_FAILED);
    {
        CScanFileWriter writer;
        ASSERT_EQ(writer.Begin(link, 1), RES_SUCCESS);
        ASSERT_EQ(writer.Append(many), RES_SUCCESS);
        writer.Abandon();
        EXPECT_EQ(writer.Commit(), RES_ARCHIVE_FAILED);
        ASSERT_EQ(writer.Begin(link, 1), RES_SUCCESS);  // dropped by the destructor
    }
    // Writes beyond a file-size limit fail even for root.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved, small;
    ::getrlimit(RLIMIT_FSIZE, &saved);
    small = {4096, saved.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &small);
    const Result result = WriteScanFileRecords(link, 1, many, error);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(result, RES_ARCHIVE_FAILED);
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
    EXPECT_EQ(ReadFile(file), std::string(oldBytes.begin(), oldBytes.end()));
    EXPECT_EQ(fs::status(file).permissions(), fs::perms(0640));
    EXPECT_EQ(ListFolder(folder.Path()),
              (std::vector<std::string>{"link.tvk", "new.tvk", "scan.tvk"}));

    ASSERT_EQ(WriteScanFileRecords(link, 5, many, error), RES_FILE_SAVED) << error;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadScanFileContents(file).records.size(), 200u);
    EXPECT_EQ(fs::status(file).permissions(), fs::perms(0640));
}

}  // namespace
}  // namespace tarvik
