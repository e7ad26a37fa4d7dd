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
    Set("Software\\VEKInfo\\Galvano", "InstallPath", "C:\\Apps\\Galvano");
    Set("Software\\VEKInfo\\O", "AppPath", "C:\\Data");
    const std::pair<const char*, const char*> products[] = {
        {"Aldova", "C:\\Qor\\Aldova"}, {"Dorvel", "C:\\Qor\\Dorvel"}, {"Eskarn", "C:\\Qor\\Eskarn"},
        {"Selvan", "C:\\Apps\\Galvano\\Selvan"}, {"Tarsel", "C:\\Apps\\Galvano\\Tarsel"},
        {"Pelmar", ""},  // only S, T and F live below Galvano
        {"O", ""},
    };
    for (const auto& [product, folder] : products) EXPECT_EQ(PathsFor(product).installDir, folder) << product;
    EXPECT_EQ(PathsFor("O").dataDir, "");
}
