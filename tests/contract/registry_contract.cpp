// What every registry behind the program must do alike: typed values that keep every character,
// names without regard to case, and subkey enumeration with its buffer limit and end mark.
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
    EXPECT_TRUE(key->DeleteValue("text"));
    EXPECT_FALSE(key->QueryValue("Text"));
    EXPECT_FALSE(key->DeleteValue("Text"));

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
    auto names = [&] {
        std::set<std::string> found;
        std::string name;
        uint32_t i = 0;
        while (parent->EnumSubKey(i, name) == platform::RegOk) {
            found.insert(name);
            ++i;
        }
        EXPECT_EQ(platform::RegNoMoreItems, parent->EnumSubKey(i, name));
        return found;
    };
    EXPECT_EQ((std::set<std::string>{"Alpha", "Beta", "LongerName12"}), names());

    // The buffer counts the terminating NUL: twelve characters need thirteen.
    uint32_t index = 0;
    std::string name;
    while (parent->EnumSubKey(index, name) == platform::RegOk && name != "LongerName12") ++index;
    ASSERT_EQ("LongerName12", name);
    EXPECT_EQ(platform::RegMoreData, parent->EnumSubKey(index, name, 12));
    EXPECT_EQ(platform::RegOk, parent->EnumSubKey(index, name, 13));

    // Only a key without subkeys can be deleted.
    EXPECT_FALSE(reg.DeleteKey(RegRoot::CurrentUser, Sub("Beta")));
    EXPECT_TRUE(reg.DeleteKey(RegRoot::CurrentUser, Sub("beta\\inner")));
    EXPECT_TRUE(reg.DeleteKey(RegRoot::CurrentUser, Sub("Beta")));
    parent = reg.Open(RegRoot::CurrentUser, Env().scratchKey);
    EXPECT_EQ((std::set<std::string>{"Alpha", "LongerName12"}), names());
}

}  // namespace
}  // namespace updexar::contract
