#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "ZipBuilder.h"
#include "platform/ZipReader.h"

using nox_test::ZipBuilder;
using vexo::templates::platform::ZipError;
using vexo::templates::platform::ZipReader;

namespace {

// The largest single allocation made while armed: a reader that sizes its
// output by a declared length shows here before it inflates anything.
std::atomic<bool> watching{false};
std::atomic<size_t> largest{0};

size_t LargestAllocationOf(const std::vector<uint8_t> &archive) {
    largest = 0;
    watching = true;
    const auto result = ZipReader::ReadFirstEntry(archive.data(), archive.size());
    watching = false;
    EXPECT_FALSE(result.Ok());
    return largest;
}

}  // namespace

void *operator new(size_t size) {
    if (watching.load(std::memory_order_relaxed)) {
        size_t seen = largest.load();
        while (size > seen && !largest.compare_exchange_weak(seen, size)) {
        }
    }
    if (void *memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}
void *operator new(size_t size, const std::nothrow_t &) noexcept {
    try {
        return operator new(size);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}
// Out of line, so that the compiler does not pair an inlined free() with the new expression.
__attribute__((noinline)) void operator delete(void *memory) noexcept { std::free(memory); }
__attribute__((noinline)) void operator delete(void *memory, size_t) noexcept { std::free(memory); }
__attribute__((noinline)) void operator delete(void *memory, const std::nothrow_t &) noexcept { std::free(memory); }

namespace {

const std::string kXml = "<?xml version=\"1.0\"?><RegisterDescription>" + std::string(3000, ' ') + "</RegisterDescription>";

ZipError ErrorOf(const std::vector<uint8_t> &archive) { return ZipReader::ReadFirstEntry(archive.data(), archive.size()).error; }

std::string FirstEntry(const std::vector<uint8_t> &archive) {
    const auto result = ZipReader::ReadFirstEntry(archive.data(), archive.size());
    EXPECT_TRUE(result.Ok()) << static_cast<int>(result.error);
    return {result.bytes.begin(), result.bytes.end()};
}

// A long text that is not trivially compressible.
std::string LongText(size_t size) {
    std::string text;
    for (uint32_t i = 0; text.size() < size; ++i) text += "<Node Name=\"N" + std::to_string(i * 2654435761u) + "\"/>\n";
    text.resize(size);
    return text;
}

TEST(ZipReader, ReadsTheFirstEntryStoredDeflatedOrWithDataDescriptor) {
    for (const auto method : {ZipBuilder::kStored, ZipBuilder::kDeflated})
        for (const bool descriptor : {false, true})
            EXPECT_EQ(FirstEntry(ZipBuilder().Add("camera.xml", kXml, method, descriptor).Build()), kXml) << method;
    // The first of several entries, behind an archive comment.
    const auto two = ZipBuilder().Add("a.xml", kXml).Add("b.txt", "other").Build("written by a test");
    EXPECT_EQ(FirstEntry(two), kXml);
    const std::string big = LongText(3 << 20);
    EXPECT_EQ(FirstEntry(ZipBuilder().Add("big.xml", big).Build()), big);
    EXPECT_EQ(FirstEntry(ZipBuilder().Add("empty.xml", "", ZipBuilder::kDeflated).Build()), "");
}

// Archives told from descriptions by their content: DescriptionReaderTest. Here the short and the absent.
TEST(ZipReader, DetectsAnArchiveByItsFirstFourBytes) {
    EXPECT_TRUE(ZipReader::IsZip("PK\x03\x04", 4));
    EXPECT_FALSE(ZipReader::IsZip("PK\x03", 3));
    EXPECT_FALSE(ZipReader::IsZip(nullptr, 4));
}

TEST(ZipReader, RefusesEveryTruncationOfAnArchive) {
    for (const bool descriptor : {false, true}) {
        const auto archive = ZipBuilder().Add("camera.xml", kXml, ZipBuilder::kDeflated, descriptor).Build();
        for (size_t size = 0; size < archive.size(); ++size) {
            const ZipError error = ZipReader::ReadFirstEntry(archive.data(), size).error;
            EXPECT_EQ(error, size < 4 ? ZipError::NotZip : ZipError::NoEndRecord) << size;
        }
    }
    // Cut inside the data, with a directory that still claims the full entry.
    auto archive = ZipBuilder().Add("camera.xml", LongText(100000)).Build();
    const size_t central = ZipBuilder::FirstCentralHeader(archive);
    archive.erase(archive.begin() + 40, archive.begin() + static_cast<long>(central));
    const size_t end = archive.size() - 22;
    ZipBuilder::Patch32(archive, end + 16, 40);
    EXPECT_EQ(ErrorOf(archive), ZipError::OutOfBounds);
}

TEST(ZipReader, RefusesSizesThatDoNotMatchTheData) {
    for (const auto method : {ZipBuilder::kStored, ZipBuilder::kDeflated}) {
        const auto archive = ZipBuilder().Add("camera.xml", kXml, method).Build();
        const size_t central = ZipBuilder::FirstCentralHeader(archive);
        for (const uint32_t size : {static_cast<uint32_t>(kXml.size() - 1), static_cast<uint32_t>(kXml.size() + 1), 0u}) {
            auto patched = archive;
            ZipBuilder::Patch32(patched, central + 24, size);
            EXPECT_EQ(ErrorOf(patched), ZipError::SizeMismatch) << method << " " << size;
        }
        auto beyond = archive;
        ZipBuilder::Patch32(beyond, central + 20, 0x7FFFFFFF);
        EXPECT_EQ(ErrorOf(beyond), ZipError::OutOfBounds);
    }
}

TEST(ZipReader, TrustsNoDeclaredSize) {
    auto archive = ZipBuilder().Add("camera.xml", kXml).Build();
    const size_t central = ZipBuilder::FirstCentralHeader(archive);
    ZipBuilder::Patch32(archive, central + 24, (64u << 20) + 1);
    EXPECT_EQ(ErrorOf(archive), ZipError::TooLarge);
    ZipBuilder::Patch32(archive, central + 24, 0xFFFFFFFF);
    EXPECT_EQ(ErrorOf(archive), ZipError::TooLarge);

    // 110 bytes declaring an entry of 64 MiB: the output grows only with what inflates.
    auto small = ZipBuilder().Add("x.xml", "").Build();
    ZipBuilder::Patch32(small, ZipBuilder::FirstCentralHeader(small) + 24, 64u << 20);
    EXPECT_EQ(ErrorOf(small), ZipError::SizeMismatch);
    EXPECT_LT(LargestAllocationOf(small), size_t{1} << 20);
    // A stream that inflates to far more than it declares stops one byte past the declared size.
    auto bomb = ZipBuilder().Add("bomb.xml", std::string(1 << 20, '\0')).Build();
    ZipBuilder::Patch32(bomb, ZipBuilder::FirstCentralHeader(bomb) + 24, 1000);
    EXPECT_EQ(ErrorOf(bomb), ZipError::SizeMismatch);
    EXPECT_LT(LargestAllocationOf(bomb), size_t{1} << 20);
}

TEST(ZipReader, RefusesGarbageAndBrokenStructures) {
    EXPECT_EQ(ErrorOf({}), ZipError::NotZip);
    EXPECT_EQ(ZipReader::ReadFirstEntry(nullptr, 100).error, ZipError::NotZip);
    EXPECT_EQ(ErrorOf(ZipBuilder::Bytes(kXml)), ZipError::NotZip);
    std::vector<uint8_t> garbage = ZipBuilder::Bytes("PK\x03\x04");
    for (int i = 0; i < 5000; ++i) garbage.push_back(static_cast<uint8_t>(i * 7919 >> 3));
    EXPECT_EQ(ErrorOf(garbage), ZipError::NoEndRecord);
    EXPECT_EQ(ErrorOf(ZipBuilder().Build()), ZipError::NotZip);

    const auto archive = ZipBuilder().Add("camera.xml", kXml).Build();
    const size_t central = ZipBuilder::FirstCentralHeader(archive);
    const size_t end = archive.size() - 22;
    auto noEntries = archive;
    noEntries[end + 10] = noEntries[end + 11] = 0;
    EXPECT_EQ(ErrorOf(noEntries), ZipError::NoEntries);
    auto directoryOutside = archive;
    ZipBuilder::Patch32(directoryOutside, end + 16, static_cast<uint32_t>(archive.size() - 10));
    EXPECT_EQ(ErrorOf(directoryOutside), ZipError::BadCentralHeader);
    auto directoryMisplaced = archive;
    ZipBuilder::Patch32(directoryMisplaced, end + 16, 0);
    EXPECT_EQ(ErrorOf(directoryMisplaced), ZipError::BadCentralHeader);
    auto localOutside = archive;
    ZipBuilder::Patch32(localOutside, central + 42, 0xFFFFFF00);
    EXPECT_EQ(ErrorOf(localOutside), ZipError::BadLocalHeader);
    auto otherMethod = archive;
    otherMethod[central + 10] = 12;
    EXPECT_EQ(ErrorOf(otherMethod), ZipError::UnsupportedMethod);
    auto encrypted = archive;
    encrypted[central + 8] |= 1;
    EXPECT_EQ(ErrorOf(encrypted), ZipError::UnsupportedMethod);
    auto wrongChecksum = archive;
    wrongChecksum[central + 16] ^= 0xFF;
    EXPECT_EQ(ErrorOf(wrongChecksum), ZipError::ChecksumMismatch);
    auto corrupt = archive;
    for (size_t i = 30 + 10; i < 30 + 10 + 8; ++i) corrupt[i] = 0xFF;
    EXPECT_EQ(ErrorOf(corrupt), ZipError::CorruptData);
}

}  // namespace
