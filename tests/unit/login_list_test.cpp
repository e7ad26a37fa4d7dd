#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/login_list.h"
#include "core/machine_list.h"

using namespace updexar;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

const std::vector<SavedMachine> kTwoMachines = {
    {"1", "ACCOUNTS-PC", "2", "192.168.1.20", "admin", "Winter2026!"},
    {"0", "", "1", "192.168.1.31", "CORP\\clerk", "s3cret"},
};

Bytes PackedTwoMachines() {
    Bytes bytes = ToBytes(MachineListText(kTwoMachines));
    EXPECT_TRUE(PackLoginList(bytes));
    return bytes;
}

// A coded block made by hand: the header, a pair per code (the code's length taken from the
// text of '0's and '1's), the codes' bits from the lowest bit of each byte up, and the data.
Bytes HandMade(uint8_t checksum, uint8_t length, const std::vector<std::pair<uint8_t, std::string>>& codes,
               const Bytes& data) {
    Bytes b = {'H', 'E', '3', 13, checksum, length, 0, 0, 0, static_cast<uint8_t>(codes.size()), 0};
    for (const auto& [value, code] : codes) b.insert(b.end(), {value, static_cast<uint8_t>(code.size())});
    size_t bit = 0;
    for (const auto& [value, code] : codes)
        for (char c : code) {
            if (bit % 8 == 0) b.push_back(0);
            b.back() |= static_cast<uint8_t>((c == '1') << (bit++ % 8));
        }
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

int32_t StatedLength(const Bytes& block) {
    return static_cast<int32_t>(block[5] | block[6] << 8 | block[7] << 16 | static_cast<uint32_t>(block[8]) << 24);
}

}  // namespace

TEST(LoginList, TwoMachinesPackToACodedBlockAndComeBack) {
    const std::string text = MachineListText(kTwoMachines);
    Bytes block = PackedTwoMachines();
    ASSERT_GE(block.size(), 11u);
    EXPECT_EQ(Bytes(block.begin(), block.begin() + 4), (Bytes{72, 69, 51, 13}));
    EXPECT_EQ(StatedLength(block), static_cast<int32_t>(text.size()));
    EXPECT_EQ(std::string(block.begin(), block.end()).find("s3cret"), std::string::npos);

    ASSERT_TRUE(UnpackLoginList(block));
    EXPECT_EQ(std::string(block.begin(), block.end()), text);
    EXPECT_EQ(ParseMachineList(text), kTwoMachines);

    // Every byte value, in runs of different lengths, so that codes of many lengths are made.
    Bytes all;
    for (int v = 0; v < 256; ++v) all.insert(all.end(), static_cast<size_t>(v % 7 + 1), static_cast<uint8_t>(v));
    Bytes packed = all;
    ASSERT_TRUE(PackLoginList(packed));
    ASSERT_TRUE(UnpackLoginList(packed));
    EXPECT_EQ(packed, all);
}

TEST(LoginList, DamagedOrTruncatedBlocksFailAndLeaveTheBytesAlone) {
    const Bytes good = PackedTwoMachines();
    auto fails = [](Bytes block) {
        const Bytes before = block;
        const bool ok = UnpackLoginList(block);
        return !ok && block == before;
    };

    for (size_t n = 0; n < good.size(); ++n) EXPECT_TRUE(fails(Bytes(good.begin(), good.begin() + n))) << n;
    for (size_t at : {2, 4}) {  // the form, the checksum
        Bytes b = good;
        b[at] ^= 0x01;
        EXPECT_TRUE(fails(b)) << at;
    }
    for (uint32_t length : {0u, 0x80000000u, static_cast<uint32_t>(StatedLength(good)) + 50}) {
        Bytes b = good;
        for (int i = 0; i < 4; ++i) b[5 + i] = static_cast<uint8_t>(length >> (8 * i));
        EXPECT_TRUE(fails(b)) << length;
    }
    for (uint16_t n : {0, 257, 0xFFFF, 0x7FFF}) {
        Bytes b = good;
        b[9] = static_cast<uint8_t>(n);
        b[10] = static_cast<uint8_t>(n >> 8);
        EXPECT_TRUE(fails(b)) << n;
    }

    // Hand-made: values 0x2A and 0x55 with the codes 00 and 01, so a 1 bit at the root leads
    // nowhere; with a 0 bit first the block holds the single byte 0x2A.
    EXPECT_TRUE(fails(HandMade(0x2A, 1, {{0x2A, "00"}, {0x55, "01"}}, {0x01})));
    Bytes oneByte = HandMade(0x2A, 1, {{0x2A, "00"}, {0x55, "01"}}, {0x00});
    ASSERT_TRUE(UnpackLoginList(oneByte));
    EXPECT_EQ(oneByte, Bytes{0x41});  // 0x2A unscrambled
    // A code of no bits fails. So do codes that run past the end of the block, and codes that
    // would grow the decoding tree past its table (three 255-bit paths that part early), where
    // the same blocks otherwise decode.
    EXPECT_TRUE(fails(HandMade(0x2A, 1, {{0x2A, ""}, {0x55, "1"}}, {0x00})));
    const Bytes longCode = HandMade(0x2A, 1, {{0x2A, "1"}, {0x55, std::string(255, '0')}}, {0x01});
    EXPECT_FALSE(fails(longCode));
    EXPECT_TRUE(fails(Bytes(longCode.begin(), longCode.end() - 2)));
    const std::vector<std::pair<uint8_t, std::string>> twoPaths = {{1, std::string(255, '0')},
                                                                   {2, "1" + std::string(254, '0')}};
    auto threePaths = twoPaths;
    threePaths.push_back({3, "01" + std::string(253, '0')});
    EXPECT_FALSE(fails(HandMade(0x01, 1, twoPaths, Bytes(32, 0x00))));
    EXPECT_TRUE(fails(HandMade(0x01, 1, threePaths, Bytes(32, 0x00))));

    // Readers are lenient where nothing is lost: bytes after the data are ignored, and four
    // leading bytes that are not a header at all do not stop the decoding.
    Bytes lenient = good;
    lenient.push_back(0xFF);
    lenient[0] = 'X';
    EXPECT_TRUE(UnpackLoginList(lenient));
}

TEST(LoginList, ListsThatCodingCannotShrinkDoNotPackAndTheirFormIsRefused) {
    Bytes empty;
    EXPECT_FALSE(PackLoginList(empty));
    EXPECT_EQ(empty, (Bytes{'H', 'E', '0', 13}));

    // One byte is scrambled with the first key alone; the uncoded form shows it.
    Bytes one = {0x41};
    EXPECT_FALSE(PackLoginList(one));
    EXPECT_EQ(one, (Bytes{'H', 'E', '0', 13, 0x2A}));
    EXPECT_FALSE(UnpackLoginList(one));

    // A run of the chaining byte scrambles to one repeated value: nothing to code.
    Bytes same(40, kLoginListK1);
    EXPECT_FALSE(PackLoginList(same));
    EXPECT_EQ(same.size(), 44u);
    EXPECT_FALSE(UnpackLoginList(same));

    // Any other run scrambles to two alternating values, which do pack.
    const Bytes run(40, 'a');
    Bytes packed = run;
    ASSERT_TRUE(PackLoginList(packed));
    ASSERT_TRUE(UnpackLoginList(packed));
    EXPECT_EQ(packed, run);
}

TEST(LoginList, EqualWeightsMergeInTableOrder) {
    // Scrambles to 10, 20, 30, once each.
    Bytes bytes = {0xCA, 0xDE, 0x75};
    ASSERT_TRUE(PackLoginList(bytes));
    // Three codes; 10 and 20 are merged first (10 as the 0-child), and 30 then with their node: 30 has the
    // one-bit code 0, 10 and 20 the codes 10 and 11.
    // The codes' bits are 1 0, 1 1, 0 from the lowest bit up, and the data 10, 20, 30 the same.
    EXPECT_EQ(Bytes(bytes.begin() + 9, bytes.end()), (Bytes{3, 0, 10, 2, 20, 2, 30, 1, 0b01101, 0b01101}));
}

TEST(MachineList, TextHasSixFieldsPerMachineAndSkipsWhatDoesNotFit) {
    std::vector<SavedMachine> machines = kTwoMachines;
    machines[0].name = "ACC\tOUNTS\n-PC";
    EXPECT_EQ(MachineListText(machines),
              "1\tACCOUNTS-PC\t2\t192.168.1.20\tadmin\tWinter2026!\n"
              "0\t\t1\t192.168.1.31\tCORP\\clerk\ts3cret");
    EXPECT_EQ(MachineListText({}), "");

    const std::string text =
        "\n1\tA\t1\t10.0.0.1\tu\tp\n"
        "1\tfive\t1\t10.0.0.2\tu\n"
        "\n"
        "1\tseven\t1\t10.0.0.3\tu\tp\textra\n"
        "2\tB\t0\t\t\tp\tq"
        "\n\t\t\t\t\t\n";
    EXPECT_EQ(ParseMachineList(text), (std::vector<SavedMachine>{{"1", "A", "1", "10.0.0.1", "u", "p"},
                                                                  {"", "", "", "", "", ""}}));
}
