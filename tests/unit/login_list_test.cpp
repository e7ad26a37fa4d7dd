// The saved machine list's text and its packing; the round trip of a whole list is the machine-list
// tool's test (upl_tool_test.sh) and the saved settings'.
#include <gtest/gtest.h>

#include <tuple>

#include "core/login_list.h"
#include "core/machine_list.h"

using namespace updexar;
using Bytes = std::vector<uint8_t>;

namespace {

const std::vector<SavedMachine> kTwoMachines = {
    {"1", "ACCOUNTS-PC", "2", "192.168.1.20", "admin", "Winter2026!"},
    {"0", "", "1", "192.168.1.31", "CORP\\clerk", "s3cret"},
};

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

}  // namespace

TEST(LoginList, DamagedOrTruncatedBlocksFailAndLeaveTheBytesAlone) {
    const std::string text = MachineListText(kTwoMachines);
    Bytes good(text.begin(), text.end());
    ASSERT_TRUE(PackLoginList(good));
    auto fails = [](Bytes block) {
        const Bytes before = block;
        const bool ok = UnpackLoginList(block);
        return !ok && block == before;
    };
    for (size_t n = 0; n < good.size(); ++n) EXPECT_TRUE(fails(Bytes(good.begin(), good.begin() + n))) << n;
    // The form, the checksum, a stated length of none, below zero or past the data, and code counts
    // of none, too many or below zero: each as (offset, value, bytes).
    const std::tuple<size_t, uint32_t, int> edits[] = {
        {2, 'X', 1}, {4, good[4] ^ 1u, 1}, {5, 0, 4}, {5, 0x80000000u, 4}, {5, uint32_t(text.size()) + 50, 4},
        {9, 0, 2},   {9, 257, 2},          {9, 0xFFFF, 2}, {9, 0x7FFF, 2}};
    for (const auto& [at, value, width] : edits) {
        Bytes b = good;
        for (int i = 0; i < width; ++i) b[at + i] = static_cast<uint8_t>(value >> (8 * i));
        EXPECT_TRUE(fails(b)) << at << ":" << value;
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

TEST(LoginList, ListsComeBackUnlessCodingCannotShrinkThemWhenTheirUncodedFormIsRefused) {
    Bytes all;  // every byte value, in runs of different lengths, so that codes of many lengths are made
    for (int v = 0; v < 256; ++v) all.insert(all.end(), static_cast<size_t>(v % 7 + 1), static_cast<uint8_t>(v));
    const std::pair<Bytes, bool> lists[] = {
        {all, true},
        {Bytes(40, 'a'), true},  // a run scrambles to two alternating values
        {Bytes(40, kLoginListK1), false},  // but a run of the chaining byte to one: nothing to code
        {{}, false},
        {{0x41}, false},  // one byte, scrambled with the first key alone
    };
    for (const auto& [list, packs] : lists) {
        Bytes b = list;
        ASSERT_EQ(PackLoginList(b), packs) << list.size();
        if (list.size() == 1) { EXPECT_EQ(b.back(), 0x2A); }  // the uncoded form shows the scramble
        if (!packs) { EXPECT_EQ(Bytes(b.begin(), b.begin() + 4), (Bytes{'H', 'E', '0', 13})); }
        EXPECT_EQ(b.size() == list.size() + 4, !packs);
        EXPECT_EQ(UnpackLoginList(b), packs);
        if (packs) { EXPECT_EQ(b, list); }
    }
    // Equal weights merge in table order. These scramble to 10, 20, 30, once each.
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
