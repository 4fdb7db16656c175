#include "intake/drop_block.h"

#include "support/file_drag_source.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

using Paths = std::vector<std::wstring>;

// Holds a block so that its last byte is the last readable byte before a
// page that cannot be read: a parser reading past the end crashes the test.
class GuardedBlock {
public:
    explicit GuardedBlock(const std::string& bytes)
    {
        SYSTEM_INFO system;
        GetSystemInfo(&system);
        SIZE_T page = system.dwPageSize;
        SIZE_T pages = (bytes.size() + page - 1) / page + 1;
        size_ = pages * page;
        base_ = static_cast<BYTE*>(VirtualAlloc(nullptr, size_, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        EXPECT_TRUE(base_);
        DWORD old;
        VirtualProtect(base_ + size_ - page, page, PAGE_NOACCESS, &old);
        data_ = base_ + size_ - page - bytes.size();
        std::memcpy(data_, bytes.data(), bytes.size());
        length_ = bytes.size();
    }
    GuardedBlock(const GuardedBlock&) = delete;
    GuardedBlock& operator=(const GuardedBlock&) = delete;
    ~GuardedBlock() { VirtualFree(base_, 0, MEM_RELEASE); }

    Paths Parse() const { return DroppedPaths(data_, length_); }

private:
    BYTE* base_ = nullptr;
    SIZE_T size_ = 0;
    BYTE* data_ = nullptr;
    SIZE_T length_ = 0;
};

Paths Parse(const std::string& bytes)
{
    return GuardedBlock(bytes).Parse();
}

std::string Header(DWORD offset, BOOL wide)
{
    DROPFILES header{};
    header.pFiles = offset;
    header.fWide = wide;
    return std::string(reinterpret_cast<const char*>(&header), sizeof header);
}

std::string Wide(std::wstring_view text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

TEST(DroppedPathsTest, WideListInItsOrder)
{
    Paths paths{L"C:\\one\\a.htm", L"C:\\two", L"D:\\\u00e9t\u00e9\\\u4e2d.html"};
    EXPECT_EQ(Parse(MakeDropFilesBlock(paths, true)), paths);
}

TEST(DroppedPathsTest, AnsiListIsConverted)
{
    Paths paths{L"C:\\one\\a.htm", L"C:\\caf\u00e9.txt"};
    EXPECT_EQ(Parse(MakeDropFilesBlock(paths, false)), paths);
}

TEST(DroppedPathsTest, ListAfterGapAndAtOddOffset)
{
    std::string gap = Header(sizeof(DROPFILES) + 3, TRUE) + "xyz" + Wide(std::wstring(L"C:\\a.htm\0\0", 10));
    EXPECT_EQ(Parse(gap), (Paths{L"C:\\a.htm"}));
}

TEST(DroppedPathsTest, BytesAfterTheClosingEmptyPathAreIgnored)
{
    std::string block = MakeDropFilesBlock({L"C:\\a"}) + Wide(L"C:\\junk");
    EXPECT_EQ(Parse(block), (Paths{L"C:\\a"}));
}

struct MalformedCase {
    const char* name;
    std::string bytes;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const MalformedCase& c, std::ostream* os)
{
    *os << c.name;
}

class MalformedBlockTest : public testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedBlockTest, GivesNoPaths)
{
    EXPECT_EQ(Parse(GetParam().bytes), Paths{});
}

std::string Truncated(std::string block, size_t drop)
{
    block.resize(block.size() - drop);
    return block;
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, MalformedBlockTest,
    testing::Values(MalformedCase{"Empty", ""}, MalformedCase{"ShorterThanHeader", Header(20, TRUE).substr(0, 19)},
                    MalformedCase{"HeaderOnly", Header(20, TRUE)},
                    MalformedCase{"OffsetPastEnd", Header(4000, TRUE) + Wide(std::wstring(L"C:\\a\0\0", 6))},
                    MalformedCase{"OffsetFarPastEnd", Header(0xFFFFFFF0u, TRUE) + Wide(std::wstring(L"C:\\a\0\0", 6))},
                    MalformedCase{"OffsetInsideHeader", Header(8, TRUE) + Wide(std::wstring(L"C:\\a\0\0", 6))},
                    MalformedCase{"NoClosingEmptyPath", Truncated(MakeDropFilesBlock({L"C:\\a", L"C:\\b"}), 2)},
                    MalformedCase{"LastPathUnterminated", Truncated(MakeDropFilesBlock({L"C:\\a", L"C:\\b"}), 4)},
                    MalformedCase{"AnsiNoClosingEmptyPath", Truncated(MakeDropFilesBlock({L"C:\\a"}, false), 1)},
                    MalformedCase{"HalfACharacter", Header(20, TRUE) + std::string(1, '\0')},
                    MalformedCase{"NamesNoFile", MakeDropFilesBlock({})},
                    MalformedCase{"AnsiNamesNoFile", MakeDropFilesBlock({}, false)}),
    [](const testing::TestParamInfo<MalformedCase>& info) { return std::string(info.param.name); });

// Generated blocks: valid ones, then mutations of them (offsets, flags,
// lengths, bytes). Whatever the bytes, parsing stays inside the block (the
// guard page sees to that) and whatever it yields ends the list properly.
TEST(DroppedPathsFuzz, StaysInsideGeneratedBlocks)
{
    std::mt19937 random(20261211);
    auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
    const std::wstring alphabet = L"ab\\:.\u00e9\u4e2d";
    int parsedSome = 0;
    for (int round = 0; round < 4000; ++round) {
        Paths paths(pick(4));
        for (std::wstring& path : paths)
            for (size_t i = 0, n = 1 + pick(12); i < n; ++i)
                path += alphabet[pick(alphabet.size())];
        bool wide = pick(4) != 0;
        std::string block = MakeDropFilesBlock(paths, wide);

        switch (pick(6)) {
        case 0: break;
        case 1: block.resize(pick(block.size() + 1)); break;
        case 2: {
            DWORD offset = static_cast<DWORD>(pick(3) == 0 ? random() : pick(block.size() + 8));
            std::memcpy(block.data(), &offset, sizeof offset);
            break;
        }
        case 3: {
            BOOL flag = static_cast<BOOL>(random());
            std::memcpy(block.data() + offsetof(DROPFILES, fWide), &flag, sizeof flag);
            break;
        }
        case 4:
            for (size_t i = 0, n = 1 + pick(6); i < n && !block.empty(); ++i)
                block[pick(block.size())] = static_cast<char>(random());
            break;
        default:
            block.resize(pick(64));
            for (char& c : block)
                c = static_cast<char>(pick(3) ? 0 : random());
            break;
        }

        Paths parsed = Parse(block);
        for (const std::wstring& path : parsed)
            EXPECT_FALSE(path.empty()) << "round " << round;
        // The ANSI form cannot hold every character, so only wide lists must come back whole.
        if (wide && block == MakeDropFilesBlock(paths, wide) && !paths.empty()) {
            EXPECT_EQ(parsed, paths) << "round " << round;
            ++parsedSome;
        }
    }
    EXPECT_GT(parsedSome, 100);
}

} // namespace
