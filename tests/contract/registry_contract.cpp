// What every registry behind the program must do alike: typed values that keep every character,
// names without regard to case, and subkey enumeration with its buffer limit and end mark. The
// program deletes no keys or values, so deleting is not part of it.
#include <gtest/gtest.h>

#include "contract/contract_env.h"
#include "contract/contract_util.h"

namespace updexar::contract {
namespace {

using platform::RegRoot;

std::string Sub(const std::string& name) { return Env().scratchKey + "\\" + name; }

TEST(RegistryContract, ValuesKeepTheirTypeAndEveryCharacter) {
    platform::Registry& reg = *Env().registry;
    auto key = reg.Open(RegRoot::CurrentUser, Env().scratchKey, true);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->SetString("InstallDir", "C:\\Qor\\Galvano"));
    // Beyond the code page, empty, and with a NUL inside: all kept as written.
    std::optional<platform::RegValue> v;
    const std::string wide = "Caf\xC3\xA9 \xE2\x82\xAC \xE4\xB8\xAD";  // "Café € 中"
    const std::string withNul("ab\0cd", 5);
    for (const std::string& text : {wide, std::string(), withNul}) {
        ASSERT_TRUE(key->SetString("Text", text));
        v = key->QueryValue("text");
        ASSERT_TRUE(v);
        EXPECT_EQ(platform::RegSz, v->type);
        EXPECT_EQ(text, v->text);
    }
    // A value takes the type of its last write, and one name is one value whatever its case.
    ASSERT_TRUE(key->SetDword("TEXT", 0xFFFFFFFEu));
    v = key->QueryValue("Text");
    ASSERT_TRUE(v);
    EXPECT_EQ(platform::RegDword, v->type);
    EXPECT_EQ(0xFFFFFFFEu, v->dword);
    // A key opened for reading reads but does not write.
    auto reading = reg.Open(RegRoot::CurrentUser, Env().scratchKey, false);
    ASSERT_TRUE(reading);
    EXPECT_FALSE(reading->SetString("InstallDir", "elsewhere"));
    EXPECT_EQ("C:\\Qor\\Galvano", reading->QueryValue("INSTALLDIR")->text);
    EXPECT_FALSE(reg.Open(RegRoot::CurrentUser, Sub("Missing")));
}

TEST(RegistryContract, SubkeysEnumerateWithinTheBufferAndEndWith259) {
    platform::Registry& reg = *Env().registry;
    // The last spelling opens the same key rather than adding one.
    for (const char* name : {"Alpha", "Beta\\Inner", "LongerName12", "ALPHA"}) ASSERT_TRUE(reg.Create(RegRoot::CurrentUser, Sub(name)));
    EXPECT_TRUE(reg.Open(RegRoot::CurrentUser, Sub("beta\\INNER")));

    auto parent = reg.Open(RegRoot::CurrentUser, Env().scratchKey);
    ASSERT_TRUE(parent);
    std::set<std::string> found;
    std::string name;
    uint32_t i = 0, longer = 0;
    for (; parent->EnumSubKey(i, name) == platform::RegOk; ++i) {
        found.insert(name);
        if (name == "LongerName12") longer = i;
    }
    EXPECT_EQ(platform::RegNoMoreItems, parent->EnumSubKey(i, name));
    EXPECT_EQ((std::set<std::string>{"Alpha", "Beta", "LongerName12"}), found);
    // The buffer counts the terminating NUL: twelve characters need thirteen.
    EXPECT_EQ(platform::RegMoreData, parent->EnumSubKey(longer, name, 12));
    EXPECT_EQ(platform::RegOk, parent->EnumSubKey(longer, name, 13));
}

}  // namespace
}  // namespace updexar::contract
