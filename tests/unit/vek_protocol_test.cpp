#include "server/vek_protocol.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>

namespace updexar::vek {
namespace {

using platform::DriveInfo;

std::string RandomText(std::mt19937& rng, size_t length, bool allowControls) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::string text;
    while (text.size() < length) {
        const int c = byte(rng);
        if (!allowControls && (c == 0 || c == 10 || c == 13 || c == 26)) continue;
        text += static_cast<char>(c);
    }
    return text;
}

TEST(VekCipher, KeyExpansionAndKnownValues) {
    // 'A' = 65: 65 mod 7 = 2, 65 mod 3 = 2. '?' = 63 divides by both, so the code itself twice.
    EXPECT_EQ(ExpandKey("A"), "22");
    EXPECT_EQ(ExpandKey("?"), "6363");
    // No key: the default one. 'W' = 87: 3 and 87; 'I' = 73: 3 and 1.
    EXPECT_EQ(ExpandKey("").substr(0, 5), "38731");
    for (int c = 1; c < 256; ++c) {
        const std::string expanded = ExpandKey(std::string(1, static_cast<char>(c)));
        EXPECT_GE(expanded.size(), 2u) << c;
        EXPECT_EQ(expanded.find_first_not_of("0123456789"), std::string::npos) << c;
    }
    // With key "A" every character meets '2' (50): 'a' ^ '2' = 'S'.
    EXPECT_EQ(Cipher("aa", "A"), "SS");
    EXPECT_EQ(Cipher("", "A"), "");
}

TEST(VekCipher, TwiceGivesTheTextBackAndMakesNoControlCharacters) {
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        const std::string key = round % 3 == 0 ? "" : RandomText(rng, 1 + round % 31, false);
        const std::string plain = RandomText(rng, static_cast<size_t>(round % 64), false);
        const std::string once = Cipher(plain, key);
        ASSERT_EQ(once.size(), plain.size());
        EXPECT_EQ(Cipher(once, key), plain);
        for (char c : once) {
            EXPECT_TRUE(c != '\0' && c != '\n' && c != '\r' && c != '\x1a');
        }
    }
}

TEST(VekMachineKey, SeededByTheFirstFixedDriveWithASerialInPiecesBetweenEndAndFront) {
    const std::vector<DriveInfo> drives = {
        {"A", platform::DriveRemovable, true, true, 111},
        {"C", platform::DriveFixed, false, false, 0},
        {"D", platform::DriveFixed, true, true, -123456789},
        {"E", platform::DriveFixed, true, true, 5},
    };
    EXPECT_EQ(MachineKeySeed(drives), "123456789");
    EXPECT_EQ(MachineKeySeed({{"C", platform::DriveFixed, true, true, INT32_MIN}}), "2147483648");
    EXPECT_EQ(MachineKeySeed({{"C", platform::DriveNetwork, true, true, 42}}), kFallbackSeed);
    EXPECT_EQ(MachineKeySeed({}), kFallbackSeed);

    // The seed's digits become pieces, by turns at the end and in front: '1' = 49 -> "94 "
    // appended, '2' = 50 -> "05 " in front, '3' = 51 -> "15 " appended.
    EXPECT_EQ(MachineKeyFromSeed("123"), "05 94 15 ");
    EXPECT_EQ(MachineKeyFromSeed(""), "");
    EXPECT_EQ(MachineKey({}).size(), 24u);
    EXPECT_EQ(MachineKey({{"C", platform::DriveFixed, true, true, INT32_MIN}}).size(), 30u);
    EXPECT_EQ(MachineKey({{"C", platform::DriveFixed, true, true, 7}}), "55 ");
}

TEST(VekRequest, TokenAndRequestText) {
    EXPECT_EQ(MakeToken(5.2), "T0005");
    EXPECT_EQ(MakeToken(59.6), "T0060");
    EXPECT_EQ(MakeToken(86399.4), "T6399");
    EXPECT_TRUE(IsValidToken("T0123"));
    for (const char* bad : {"", "T123", "T12345", "t0123", "T01a3", "T 123", "X0123"}) EXPECT_FALSE(IsValidToken(bad)) << bad;
    EXPECT_EQ(TokenFileName("T0123"), "T0123.txt");

    EXPECT_EQ(PlainRequest("T0123", "GLV"), "tOkEnMaRkRT0123GLVVD");
    const std::string key = MachineKeyFromSeed("3121418541");
    const std::string request = BuildRequest("T0123", "GLV", key);
    ASSERT_EQ(request.size(), 20 + key.size());
    EXPECT_EQ(Cipher(request.substr(0, 20), key), "tOkEnMaRkRT0123GLVVD");
    EXPECT_EQ(Cipher(request.substr(20), ""), key);
}

TEST(VekAnswer, ParsesEveryKindOfAnswer) {
    const std::string key = MachineKeyFromSeed(kFallbackSeed);
    EXPECT_EQ(PlainAnswer("GLV", true), "TSIXE-VLG--tLaRkRaMnEkOt|0");
    EXPECT_EQ(ParseAnswer(BuildAnswer("GLV", true, key), key, "GLV"), "EXIST");
    EXPECT_EQ(ParseAnswer(BuildAnswer("GLV", false, key), key, "GLV"), "NOTEXIST");
    EXPECT_EQ(ParseAnswer("", key, "GLV"), "");
    EXPECT_EQ(ParseAnswer("INVALIDCOMMAND|0", key, "GLV"), "NOUPD");
    EXPECT_EQ(ParseAnswer(Cipher("INVALIDCOMMAND|7", key), key, "GLV"), "NOUPD");
    // Another product's answer, another key, or noise do not confirm anything.
    EXPECT_EQ(ParseAnswer(BuildAnswer("TRS", true, key), key, "GLV"), "-1");
    EXPECT_EQ(ParseAnswer(BuildAnswer("GLV", true, MachineKeyFromSeed("99")), key, "GLV"), "-1");
    EXPECT_EQ(ParseAnswer("garbage", key, "GLV"), "-1");
    EXPECT_EQ(ParseAnswer("|", key, "GLV"), "-1");
}

}  // namespace
}  // namespace updexar::vek
