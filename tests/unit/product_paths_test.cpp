#include <gtest/gtest.h>

#include "mainwindow/product_paths.h"
#include "core/config.h"
#include "core/product_table.h"
#include "ui_fixture.h"

using namespace updexar;

namespace {

constexpr auto HKLM = platform::RegRoot::LocalMachine;

ProductPaths PathsFor(const std::string& key) {
    const ProductRow* row = ProductByKey(key);
    Shared().ProductKey = std::string(row->key);
    Shared().ProductDirName = std::string(row->dirName);
    return ResolveProductPaths();
}

void Set(const std::string& key, const std::string& name, const std::string& value) {
    WriteRegValue(HKLM, key, name, RegKindText, value);
}

}  // namespace

TEST(ProductPaths, InstallationFolderNameAndLocalityRules) {
    uitest::UiFixture ui;
    Set("Software\\VEKInfo\\Galvano", "InstallPath", "C:\\Apps\\Galvano\\");
    Set("Software\\VEKInfo\\Galvano", "AppPath", "\\\\SERVER\\Data\\Galvano\\");
    ProductPaths g = PathsFor("Galvano");
    EXPECT_EQ(g.installDir, "C:\\Apps\\Galvano");
    EXPECT_EQ(g.dataDir, "\\\\SERVER\\Data\\Galvano");

    // A folder of another name is not an installation; the network data directory that would
    // stand in for it is not local either.
    Set("Software\\VEKInfo\\Galvano", "InstallPath", "C:\\Apps\\GalvanoOld");
    g = PathsFor("Galvano");
    EXPECT_EQ(g.installDir, "");
    EXPECT_EQ(g.dataDir, "\\\\SERVER\\Data\\Galvano");
    Set("Software\\VEKInfo\\Galvano", "AppPath", "D:\\Data\\Galvano");
    EXPECT_EQ(PathsFor("Galvano").installDir, "D:\\Data\\Galvano");  // a local data directory stands in
    Set("Software\\VEKInfo\\Galvano", "InstallPath", "c:\\apps\\GALVANO");
    EXPECT_EQ(PathsFor("Galvano").installDir, "c:\\apps\\GALVANO");  // the name compares without case

    // A 32-bit value where text is expected counts as missing.
    WriteRegValue(HKLM, "Software\\VEKInfo\\Rovina", "InstallPath", RegKindDword, "7");
    EXPECT_EQ(PathsFor("Rovina").installDir, "");
}

TEST(ProductPaths, EachProductReadsItsOwnValueAndSelvanFallsBackToGalvano) {
    uitest::UiFixture ui;
    Set("Software\\VEKInfo\\Aldova", "EXEPath", "C:\\Qor\\Aldova");
    Set("Software\\VEKInfo\\Aldova", "InstallPath", "C:\\Wrong\\Aldova");
    Set("Software\\VEKInfo\\Dorvel", "EXEPath", "C:\\Qor\\Dorvel\\");
    Set("Software\\VEK Corvane\\Excise", "Path", "C:\\Qor\\Eskarn");
    EXPECT_EQ(PathsFor("Aldova").installDir, "C:\\Qor\\Aldova");
    EXPECT_EQ(PathsFor("Dorvel").installDir, "C:\\Qor\\Dorvel");
    EXPECT_EQ(PathsFor("Eskarn").installDir, "C:\\Qor\\Eskarn");

    Set("Software\\VEKInfo\\Galvano", "InstallPath", "C:\\Apps\\Galvano");
    EXPECT_EQ(PathsFor("Selvan").installDir, "C:\\Apps\\Galvano\\Selvan");
    EXPECT_EQ(PathsFor("Tarsel").installDir, "C:\\Apps\\Galvano\\Tarsel");
    EXPECT_EQ(PathsFor("Pelmar").installDir, "");  // only S, T and F live below Galvano

    Set("Software\\VEKInfo\\O", "AppPath", "C:\\Data");
    const ProductPaths none = PathsFor("O");
    EXPECT_EQ(none.installDir, "");
    EXPECT_EQ(none.dataDir, "");
}
