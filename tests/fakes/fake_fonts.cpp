#include "fakes/fake_fonts.h"

#include "platform/strings.h"

namespace updexar::fakes {

void FakeFonts::InstallFace(const std::string& face) {
    if (!IsFaceInstalled(face)) faces.push_back(face);
}

void FakeFonts::AssociateFile(const std::string& path, const std::vector<std::string>& fileFaces) {
    files_.emplace_back(path, fileFaces);
}

bool FakeFonts::IsFaceInstalled(const std::string& face) {
    for (const auto& f : faces)
        if (EqualsNoCase(f, face)) return true;
    return false;
}

int FakeFonts::AddFontFile(const std::string& path) {
    addedFiles.push_back(path);
    for (const auto& [file, fileFaces] : files_) {
        if (!EqualsNoCase(file, path)) continue;
        for (const auto& face : fileFaces) InstallFace(face);
        return static_cast<int>(fileFaces.size());
    }
    return 0;
}

}  // namespace updexar::fakes
