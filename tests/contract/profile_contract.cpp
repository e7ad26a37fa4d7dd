// Profile (INI) files as the configuration reader meets them: names without regard to case,
// values trimmed and unquoted, missing things giving the fallback, and the buffer's limit.
#include <gtest/gtest.h>

#include "contract/contract_env.h"

namespace updexar::contract {
namespace {

TEST(ProfileContract, ValuesAreFoundTrimmedAndCutToTheBuffer) {
    const std::string ini = Env().scratchFolder + "\\VEKCONFIG.INI";
    Env().files->WriteAllText(ini,
                              "; settings\r\n"
                              "[ScrReso]\r\n"
                              "  Width =  1024  \r\n"
                              "Quoted=\"  spaced  \"\r\n"
                              "Empty=\r\n"
                              "[MySql]\r\n"
                              "UID_Galvano=0123456789abcdef\r\n");
    platform::System& sys = *Env().system;
    EXPECT_EQ("1024", sys.ReadProfileString(ini, "scrreso", "WIDTH", "0"));
    EXPECT_EQ("  spaced  ", sys.ReadProfileString(ini, "ScrReso", "Quoted", ""));
    EXPECT_EQ("", sys.ReadProfileString(ini, "ScrReso", "Empty", "dflt")) << "present but empty is not missing";
    EXPECT_EQ("dflt", sys.ReadProfileString(ini, "ScrReso", "Opt", "dflt"));
    EXPECT_EQ("dflt", sys.ReadProfileString(ini, "Nowhere", "Width", "dflt"));
    EXPECT_EQ("x", sys.ReadProfileString(Env().scratchFolder + "\\none.ini", "A", "B", "x"));

    EXPECT_EQ("0123456789abcdef", sys.ReadProfileString(ini, "MySql", "UID_Galvano", "", 255));
    EXPECT_EQ("0123456", sys.ReadProfileString(ini, "MySql", "UID_Galvano", "", 8));
    EXPECT_EQ("", sys.ReadProfileString(ini, "MySql", "UID_Galvano", "", 1));
    EXPECT_EQ("abc", sys.ReadProfileString(ini, "MySql", "Missing", "abcdef", 4));
}

}  // namespace
}  // namespace updexar::contract
