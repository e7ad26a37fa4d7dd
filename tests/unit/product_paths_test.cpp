#include <gtest/gtest.h>

#include "core/config.h"
#include "core/product_table.h"
#include "mainwindow/product_paths.h"
#include "ui_fixture.h"

using namespace updexar;

// Each row writes one value, then resolves a product's folders; the rows build on each other.
TEST(ProductPaths, EachProductFindsItsInstallationByItsOwnValueAndTheFolderName) {
    uitest::UiFixture ui;
    const std::string g = "Software\\VEKInfo\\Galvano";
    const struct {
        std::string key, name, value, product, installDir;
    } rows[] = {
        {g, "AppPath", "\\\\SERVER\\Data\\Galvano\\", "Galvano", ""},  // a network data directory is no installation
        {g, "InstallPath", "C:\\Apps\\Galvano\\", "Galvano", "C:\\Apps\\Galvano"},
        {g, "InstallPath", "C:\\Apps\\GalvanoOld", "Galvano", ""},  // a folder of another name is none either
        {g, "AppPath", "D:\\Data\\Galvano", "Galvano", "D:\\Data\\Galvano"},  // but a local data directory stands in
        {g, "InstallPath", "c:\\apps\\GALVANO", "Galvano", "c:\\apps\\GALVANO"},  // the name compares without case
        {"Software\\VEKInfo\\Aldova", "InstallPath", "C:\\Wrong\\Aldova", "Aldova", ""},
        {"Software\\VEKInfo\\Aldova", "EXEPath", "C:\\Qor\\Aldova", "Aldova", "C:\\Qor\\Aldova"},
        {"Software\\VEKInfo\\Dorvel", "EXEPath", "C:\\Qor\\Dorvel\\", "Dorvel", "C:\\Qor\\Dorvel"},
        {"Software\\VEK Corvane\\Excise", "Path", "C:\\Qor\\Eskarn", "Eskarn", "C:\\Qor\\Eskarn"},
        {g, "InstallPath", "C:\\Apps\\Galvano", "Selvan", "C:\\Apps\\Galvano\\Selvan"},  // S, T and F live below Galvano
        {g, "InstallPath", "C:\\Apps\\Galvano", "Tarsel", "C:\\Apps\\Galvano\\Tarsel"},
        {g, "InstallPath", "C:\\Apps\\Galvano", "Pelmar", ""},
        {"Software\\VEKInfo\\O", "AppPath", "C:\\Data", "O", ""},
    };
    auto resolve = [](const std::string& product) {
        const ProductRow* row = ProductByKey(product);
        Shared().ProductKey = std::string(row->key);
        Shared().ProductDirName = std::string(row->dirName);
        return ResolveProductPaths();
    };
    for (const auto& r : rows) {
        WriteRegValue(platform::RegRoot::LocalMachine, r.key, r.name, RegKindText, r.value);
        EXPECT_EQ(resolve(r.product).installDir, r.installDir) << r.product << " after " << r.name << "=" << r.value;
        if (&r < rows + 3) { EXPECT_EQ(resolve(r.product).dataDir, "\\\\SERVER\\Data\\Galvano"); }  // whatever the folder
    }
    EXPECT_EQ(resolve("O").dataDir, "");
    // A 32-bit value where text is expected counts as missing.
    WriteRegValue(platform::RegRoot::LocalMachine, "Software\\VEKInfo\\Rovina", "InstallPath", RegKindDword, "7");
    EXPECT_EQ(resolve("Rovina").installDir, "");
}
