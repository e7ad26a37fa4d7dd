// The shell: folder browsing and opening things.
#pragma once

#include <cstdint>
#include <string>

namespace updexar::platform {

enum ShowMode : int {
    ShowHidden = 0,
    ShowNormal = 1,
    ShowMinimized = 2,
    ShowMaximized = 3,
};

struct BrowseRequest {
    uintptr_t ownerWindow = 0;
    std::string title;
    bool newStyle = true;       // the resizable dialog with an edit box
    bool noNewFolder = true;    // hides the "Make New Folder" button
    bool networkRoot = false;   // start at the network neighbourhood (shares)
};

class Shell {
public:
    virtual ~Shell() = default;
    // The chosen file-system folder, empty when cancelled or not a file-system folder.
    virtual std::string BrowseForFolder(const BrowseRequest& request) = 0;
    // Starts file with the verb ("open", "" for the default), parameters and show mode.
    virtual bool Execute(const std::string& verb, const std::string& file, const std::string& parameters,
                         const std::string& directory, int showMode) = 0;
};

}  // namespace updexar::platform
