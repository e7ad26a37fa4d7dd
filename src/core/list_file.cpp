#include "core/list_file.h"

#include "platform/errors.h"

namespace updexar {

bool ReplaceListFile(platform::FileSystem& fs, const std::string& path, const std::vector<uint8_t>& bytes,
                     const std::string& tag) {
    const std::string fresh = path + "." + tag + ".new";
    bool private_ = true;
    try {
        if (fs.FileExists(fresh)) fs.DeleteFile(fresh, true);  // left by a save that was cut off
        try {
            fs.WritePrivateFile(fresh, bytes);
        } catch (const RuntimeError& e) {
            if (e.Number() != ErrNoAccessRules) throw;
            private_ = false;
            fs.WriteAllBytes(fresh, bytes);
        }
        // A read-only list is replaced all the same, as it always was.
        if (fs.FileExists(path) && (fs.GetAttributes(path) & platform::AttrReadOnly))
            fs.SetAttributes(path, fs.GetAttributes(path) & ~uint32_t{platform::AttrReadOnly});
        fs.Rename(fresh, path, true);
    } catch (const RuntimeError&) {
        try {
            if (fs.FileExists(fresh)) fs.DeleteFile(fresh, true);
        } catch (const RuntimeError&) {
        }
        throw;
    }
    return private_;
}

}  // namespace updexar
