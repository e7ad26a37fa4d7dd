#include "platform/filesystem.h"

namespace updexar::platform {

void FileSystem::ReadPieces(const std::string& path, const std::function<void(const uint8_t*, size_t)>& take) {
    const std::vector<uint8_t> bytes = ReadAllBytes(path);
    take(bytes.data(), bytes.size());
}

std::unique_ptr<FolderWatch> FileSystem::WatchFolder(const std::string&, std::function<void()>) { return nullptr; }

}  // namespace updexar::platform
