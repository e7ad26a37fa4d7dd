// The package seal's reader on any bytes: it never throws, every file it hands out is named below the package with a
// hash of 64 lower-case digits, and what it read writes back and reads again to the same files.
#include "core/package_seal.h"
#include "fuzz_check.h"

UPDEXAR_FUZZ_TARGET(text) {
    const updexar::PackageSeal seal = updexar::ReadSeal(text);
    Check((seal.badLine == 0) == seal.badReason.empty());
    size_t lastLine = 0;
    for (const updexar::SealedFile& f : seal.files) {
        Check(f.line > lastLine && f.line != seal.badLine);
        lastLine = f.line;
        Check(f.sha256.size() == 64 && f.sha256.find_first_not_of("0123456789abcdef") == std::string::npos);
        const std::string slashed = "/" + f.path + "/";
        Check(!f.path.empty() && f.path[0] != '/' && f.path.find_first_of("\\\n") == std::string::npos);
        Check(slashed.find("/../") == std::string::npos && slashed.find("/./") == std::string::npos);
    }
    const updexar::PackageSeal again = updexar::ReadSeal(updexar::SealText(seal.files));
    Check(again.badLine == 0 && again.files.size() == seal.files.size());
    for (size_t i = 0; i < seal.files.size(); ++i)
        Check(again.files[i].path == seal.files[i].path && again.files[i].sha256 == seal.files[i].sha256);
}
