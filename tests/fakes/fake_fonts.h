// Installed font faces, and font files that install the faces a test associated with them.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/fonts.h"

namespace updexar::fakes {

class FakeFonts : public platform::Fonts {
public:
    void InstallFace(const std::string& face);
    // AddFontFile(path) installs these faces and answers their count; other files add nothing.
    void AssociateFile(const std::string& path, const std::vector<std::string>& faces);

    std::vector<std::string> faces;       // installed, in the case they were given
    std::vector<std::string> addedFiles;  // every AddFontFile call
    int broadcasts = 0;

    bool IsFaceInstalled(const std::string& face) override;
    int AddFontFile(const std::string& path) override;
    void BroadcastFontChange() override { ++broadcasts; }

private:
    std::vector<std::pair<std::string, std::vector<std::string>>> files_;
};

}  // namespace updexar::fakes
