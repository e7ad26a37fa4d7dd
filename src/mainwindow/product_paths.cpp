#include "mainwindow/product_paths.h"

#include <algorithm>

#include "platform/strings.h"
#include "core/config.h"
#include "core/product_table.h"
#include "core/shared_state.h"

namespace updexar {
namespace {

constexpr auto HKLM = platform::RegRoot::LocalMachine;

bool Blank(const std::string& text) { return Trim(text).empty(); }

}  // namespace

InstallPathValue InstallPathValueOf(const std::string& productKey) {
    if (productKey == "Aldova" || productKey == "Dorvel") return {"Software\\VEKInfo\\" + productKey, "EXEPath"};
    if (productKey == "Eskarn") return {"Software\\VEK Corvane\\Excise", "Path"};
    return {"Software\\VEKInfo\\" + productKey, "InstallPath"};
}

ProductPaths ResolveProductPaths() {
    const SharedState& s = Shared();
    ProductPaths p;
    if (s.ProductKey == kNoProductKey) return p;

    p.dataDir = StripTrailingBackslash(
        ReadRegValue(HKLM, "Software\\VEKInfo\\" + s.ProductKey, "AppPath", RegKindText, ""));

    const InstallPathValue where = InstallPathValueOf(s.ProductKey);
    p.installDir = StripTrailingBackslash(ReadRegValue(HKLM, where.key, where.name, RegKindText, ""));

    // A valid installation directory ends with the product's own folder name.
    if (!EndsWithNoCase(p.installDir, "\\" + s.ProductDirName)) p.installDir.clear();

    // Selvan, Tarsel and Fendal install below Galvano's folder.
    const std::string key = ToUpper(s.ProductKey);
    if (Blank(p.installDir) && (key == "SELVAN" || key == "TARSEL" || key == "FENDAL")) {
        std::string base = ReadRegValue(HKLM, "Software\\VEKInfo\\Galvano", "InstallPath", RegKindText, "");
        if (!Blank(base)) {
            if (base.back() != '\\') base += '\\';
            p.installDir = base + s.ProductKey;
        }
    }
    if (Blank(p.installDir)) p.installDir = p.dataDir;
    p.installDir = StripTrailingBackslash(p.installDir);
    // The installation must be local.
    if (p.installDir.rfind("\\\\", 0) == 0) p.installDir.clear();
    return p;
}

}  // namespace updexar
