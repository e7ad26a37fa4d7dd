// store_race.exe PACKAGE DATADIR OWNER [GO-FILE]
//   Stores the package in DATADIR\SoftUpdates with the real store code, as the computer OWNER.
//   The update the marker names is read first; with GO-FILE the program then prints "ready" and
//   waits until that file exists, so that several of it can be let go at one moment. Prints
//   "stored in N ms" or "failed: <why>"; exit code 0 when stored, 1 otherwise. The program
//   stores itself under its own name, as the utility does.
// store_race.exe --checkfilever INFO INSTALLDIR [RUNS]
//   The first pass over an update-information file against an installation, RUNS times (3);
//   prints the pass's count and the milliseconds of each run and of the middle one.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "distribution/data_store.h"
#include "distribution/upd_info.h"
#include "platform/errors.h"
#include "platform/platform.h"
#include "platform/strings.h"
#include "win32/win32_platform.h"

using namespace updexar;

namespace {

platform::FileSystem& Files() { return *platform::Os().files; }
int64_t NowMs() { return platform::Os().clock->MonotonicMs(); }

bool WaitFor(const std::string& go) {
    std::printf("ready\n");
    std::fflush(stdout);
    const int64_t end = NowMs() + 120000;
    while (!Files().FileExists(go)) {
        if (NowMs() > end) return false;
        platform::Os().clock->Sleep(5);
    }
    return true;
}

int Store(const std::string& package, const std::string& dataDir, const std::string& owner, const char* go) {
    StoreJob job;
    job.packageDir = StripTrailingBackslash(package);
    job.dataDir = StripTrailingBackslash(dataDir);
    job.name = PathFileName(job.packageDir);
    job.kind = Files().FileExists(job.packageDir + "\\UpdInfoF.txt") ? "F" : "P";
    job.programPath = platform::Os().system->ProgramPath();
    job.storedProgram = PathFileName(job.programPath);
    job.owner = owner;
    const std::string marker = job.dataDir + "\\SoftUpdates\\UpdInfo" + job.kind + ".txt";
    try {
        if (Files().FileExists(marker))
            if (const auto header = ReadStoredHeader(Files().ReadAllText(marker))) job.storedName = header->name;
    } catch (const RuntimeError& e) {
        std::printf("failed: marker unreadable: %s\n", e.Description().c_str());
        return 1;
    }
    if (go && !WaitFor(go)) {
        std::printf("failed: no start signal\n");
        return 1;
    }
    const int64_t start = NowMs();
    const StoreResult result = StoreUpdate(Files(), job, StoreProgress{});
    if (!result.ok) {
        std::printf("%s: %s\n", result.newer ? "refused" : "failed", result.failure.c_str());
        return 1;
    }
    std::printf("stored in %lld ms\n", static_cast<long long>(NowMs() - start));
    return 0;
}

int CheckFiles(const std::string& info, const std::string& installDir, int runs) {
    platform::Platform& os = platform::Os();
    InstalledFiles installed;
    installed.location1 = StripTrailingBackslash(os.system->SystemDirectory()) + "\\";
    installed.location2 = StripTrailingBackslash(installDir) + "\\";
    // As the utility looks: one query per listed file, a missing one is the exception.
    installed.lastModified = [](const std::string& path) -> std::optional<DateTime> {
        try {
            return Files().LastModified(path);
        } catch (const RuntimeError&) {
            return std::nullopt;
        }
    };
    installed.longDate = [&os](const DateTime& when) { return os.system->LongDate(when); };
    std::vector<int64_t> taken;
    FileVerResult pass;
    for (int i = 0; i < runs; ++i) {
        const int64_t start = NowMs();
        pass = CheckFileVer(Files().ReadAllText(info), installed);
        taken.push_back(NowMs() - start);
        std::printf("run %d: %lld ms\n", i + 1, static_cast<long long>(taken.back()));
    }
    std::sort(taken.begin(), taken.end());
    std::printf("count %d%s%s\n", pass.count, pass.refusal.empty() ? "" : ", refused: ", pass.refusal.c_str());
    std::printf("middle: %lld ms\n", static_cast<long long>(taken[taken.size() / 2]));
    return pass.refusal.empty() && pass.count >= 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    platform::InstallPlatform(&win32::Win32Platform());
    if (argc >= 4 && std::strcmp(argv[1], "--checkfilever") == 0) {
        try {
            return CheckFiles(argv[2], argv[3], argc > 4 ? std::max(1, std::atoi(argv[4])) : 3);
        } catch (const RuntimeError& e) {
            std::printf("failed: %s\n", e.Description().c_str());
            return 1;
        }
    }
    if (argc < 4 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: store_race.exe PACKAGE DATADIR OWNER [GO-FILE]\n"
                             "       store_race.exe --checkfilever INFO INSTALLDIR [RUNS]\n");
        return 2;
    }
    return Store(argv[1], argv[2], argv[3], argc > 4 ? argv[4] : nullptr);
}
