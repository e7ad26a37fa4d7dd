#include "lan/update_lan.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "core/config.h"
#include "core/package_seal.h"
#include "core/shared_state.h"
#include "distribution/data_store.h"
#include "forms/application.h"
#include "forms/grid.h"
#include "lan/running_apps.h"
#include "mainwindow/frmmain.h"
#include "platform/errors.h"
#include "platform/platform.h"
#include "platform/strings.h"
#include "ui/msgbox.h"
#include "ui/repaint_pace.h"
#include "update/frmupdate.h"

namespace updexar {
namespace {

constexpr int kConnectSeconds = 15;
constexpr int kUpdateSeconds = 900;
// How often the shared folder is listed while machines work: where no change notifications come,
// a finished machine shows within this (and the share's listing cache), and a wait on hundreds of
// machines costs next to nothing in between.
constexpr int64_t kPollRealMs = 400;
// Where change notifications bring the results, the listing is only what catches one the system
// lost, and the time left is shown anew each second.
constexpr int64_t kWatchedPollRealMs = 1000;
constexpr int64_t kWokenGapRealMs = 100;

const char* const kQ = "\"";

// Ends the run: the end steps follow.
struct EndRun {};

bool Selected(const forms::VSFlexGrid& vs, int row) { return vs.CellChecked(row, 1) == 1 || vs.CellChecked(row, 2) == 1; }

// Program-clock milliseconds for a span of real time: the waits of 15 and 900 seconds run on the
// program's clock (tests make it fast), the pace of looking at files on real time.
int64_t ClockMsFor(int64_t realMs) {
    platform::Clock& clock = *platform::Os().clock;
    const int64_t probe = 1000000;
    const int64_t real = clock.RealMsFor(probe);
    return real <= 0 ? realMs : realMs * probe / real;
}

class LanRun {
public:
    explicit LanRun(frmUpdate& w)
        : w_(w), main_(forms::Window<frmmain>()), vs_(main_.vs), s_(Shared()), os_(platform::Os()), fs_(*os_.files) {}

    void Run() {
        // The end steps run however the run ends, an error nobody foresaw included (that one then
        // goes on to the caller): no PsExec of this run is left running and no copy of the
        // program or report folder is left on the share.
        struct Ending {
            LanRun& run;
            ~Ending() {
                try {
                    run.End();
                } catch (...) {
                }
            }
        } ending{*this};
        try {
            if (Refused() || Damaged()) return;
            begun_ = true;
            startedAt_ = os_.clock->Now();
            Prepare();
            Launch();
            WaitForConnections();
            vs_.AutoSize(0, vs_.Cols() - 1);
            w_.cmdClose.SetVisible(true);
            w_.cmdClose.Tag.clear();
            WaitForUpdates();
        } catch (const EndRun&) {
        } catch (const RuntimeError& e) {
            ShowMessage(&w_, e.Description(), MsgStyleError, std::string("UpdateLAN"));
        }
    }

private:
    // The main window refuses this before it makes any folder; a run started another way is
    // refused here all the same, before anything is staged or started.
    bool Refused() {
        int row = 0;
        const std::string refusal = LanInputRefusal(vs_, s_.LanUpdateDir, row);
        if (refusal.empty()) return false;
        ShowMessage(&w_, refusal, MsgStyleInfo);
        return true;
    }

    // A package that differs from its seal is not staged: every machine would install it.
    bool Damaged() {
        SealLoad load = LoadPackageSeal(fs_, s_.ProgramDir);
        if (!load.present) return false;
        Status("Checking the Package ...");
        std::string failure = load.failure;
        if (failure.empty()) {
            if (const std::optional<SealBreach> breach = FirstBreach(fs_, s_.ProgramDir, load.seal)) failure = breach->text;
        }
        if (failure.empty()) {
            seal_ = std::move(load.seal);
            return false;
        }
        ShowMessage(&w_, failure + ".", MsgStyleInfo);
        return true;
    }

    // The machines take MiscFls, DLLs and the update information from the shared folder, and
    // check them against the seal's lines for those; a seal an earlier package left there goes.
    void StageSeal() {
        const std::string to = s_.LanUpdateDir + "\\" + std::string(kSealName);
        if (!seal_) {
            if (!fs_.FileExists(to)) return;
            Ignore([&] { fs_.DeleteFile(to, true); });
            if (fs_.FileExists(to)) Fail("Failed to Delete File [" + to + "]");
            return;
        }
        std::vector<SealedFile> staged;
        for (const SealedFile& f : seal_->files)
            if (IsStaged(f.path)) staged.push_back(f);
        const std::string text = SealText(staged);
        try {
            fs_.WriteAllBytes(to, std::vector<uint8_t>(text.begin(), text.end()));
        } catch (const RuntimeError&) {
            Fail("Failed to Copy File [" + to + "]");
        }
    }

    static bool IsStaged(const std::string& sealPath) {
        return StartsWithNoCase(sealPath, "MiscFls/") || StartsWithNoCase(sealPath, "DLLs/") ||
               EqualsNoCase(sealPath, "UpdInfoP.txt") || EqualsNoCase(sealPath, "UpdInfoF.txt");
    }

    // A shared copy of a sealed folder is used again only while its files match the seal.
    bool MatchesSeal(const std::string& name) {
        return !seal_ || !FirstBreach(fs_, s_.LanUpdateDir, *seal_, [&](const std::string& path) {
            return StartsWithNoCase(path, name + "/");
        });
    }

    std::string Target(int r) const { return vs_.TextMatrix(r, vs_.CellChecked(r, 1) == 1 ? 1 : 2); }
    int Last() const { return vs_.Cols() - 1; }

    [[noreturn]] void Fail(const std::string& text) {
        ShowMessage(&w_, text + ".", MsgStyleInfo);
        throw EndRun{};
    }

    void Status(const std::string& text) {
        w_.lblPG.SetCaption(text);
        forms::DoEvents();
    }

    void Prepare() {
        const double seconds = os_.clock->SecondsSinceMidnight();
        runName_ = "Log" + std::to_string(static_cast<long>(std::round(seconds)));
        runNumber_ = runName_.substr(3);
        Status("Please Wait ...");
        const std::string shared = s_.LanUpdateDir;
        report_ = shared + "\\" + runName_;
        if (fs_.FolderExists(report_)) {
            Ignore([&] { fs_.DeleteFolder(report_, true); });
            if (fs_.FolderExists(report_)) Fail("Failed to Delete Folder [" + report_ + "]");
        }
        Ignore([&] { fs_.CreateFolder(report_); });
        if (!fs_.FolderExists(report_)) Fail("Failed to Create Folder [" + report_ + "]");
        made_ = true;
        // The machines' files show through the system's change notifications at once; a share's
        // listing may be seconds old (Windows keeps one up to 10 s), and is what is left where
        // no notifications come.
        watch_ = fs_.WatchFolder(report_, [this] {
            woken_ = true;
            forms::Application::Current().Post([] {});
        });

        // Run from the shared folder itself: its folders are the package's already.
        if (!fs_.FolderExists(s_.ProgramDir + "\\" + runName_)) {
            for (const char* name : {"MiscFls", "DLLs"}) Stage(name);
            // The machines' own update checks its update information in the shared folder, and
            // takes UpdInfoP.txt when both are there: one left by an earlier package must go.
            for (const char* kind : {"P", "F"}) {
                const std::string info = std::string("\\UpdInfo") + kind + ".txt";
                if (fs_.FileExists(s_.ProgramDir + info)) {
                    try {
                        fs_.CopyFile(s_.ProgramDir + info, shared + info, true);
                    } catch (const RuntimeError&) {
                        Fail("Failed to Copy File [" + shared + info + "]");
                    }
                } else if (fs_.FileExists(shared + info)) {
                    Ignore([&] { fs_.DeleteFile(shared + info, true); });
                    if (fs_.FileExists(shared + info)) Fail("Failed to Delete File [" + shared + info + "]");
                }
            }
            StageSeal();
        }
        program_ = shared + "\\Up" + runNumber_ + ".exe";
        Ignore([&] { fs_.CopyFile(s_.ProgramDir + "\\" + PathFileName(os_.system->ProgramPath()), program_, true); });
        if (!fs_.FileExists(program_)) Fail("Failed to Copy File [" + program_ + "]");
    }

    void Stage(const std::string& name) {
        const std::string from = s_.ProgramDir + "\\" + name;
        const std::string to = s_.LanUpdateDir + "\\" + name;
        if (!fs_.FolderExists(from)) {
            if (fs_.FolderExists(to)) {
                Ignore([&] { fs_.DeleteFolder(to, true); });
                if (fs_.FolderExists(to)) Fail("Failed to Delete Folder [" + to + "]");
            }
            return;
        }
        if (fs_.FolderExists(to) && (CountFiles(fs_, from) > CountFiles(fs_, to) || !MatchesSeal(name))) {
            Ignore([&] { fs_.DeleteFolder(to, true); });
            if (fs_.FolderExists(to)) Fail("Failed to Delete Folder [" + to + "]");
        }
        if (fs_.FolderExists(to)) return;
        w_.lblPG.SetCaption("Copying Folder [" + name + "] to Shared Directory ...");
        w_.picPG.Tag = std::to_string(CountFiles(fs_, from));
        w_.shpPG.Tag = "0";
        w_.DrawProgress();
        forms::DoEvents();
        RepaintPace pace;
        CopyFolderTree(fs_, from, to, [&] {
            w_.shpPG.Tag = std::to_string(static_cast<long>(Val(w_.shpPG.Tag)) + 1);
            w_.DrawProgress();
            pace.Maybe();
        });
        if (CountFiles(fs_, from) > CountFiles(fs_, to)) Fail("Failed to Copy Folder [" + to + "]");
    }

    void Launch() {
        for (int r = 1; r < vs_.Rows(); ++r) {
            vs_.SetTextMatrix(r, Last(), "");
            vs_.SetCellBackColor(r, Last(), 0);
        }
        vs_.AutoSize(0, vs_.Cols() - 1);
        Status("Connecting to LAN Machines ...");
        w_.picPG.Tag = std::to_string(vs_.Rows() - 1);
        w_.shpPG.Tag = "0";
        w_.DrawProgress();
        for (int r = 1; r < vs_.Rows(); ++r) {
            if (Selected(vs_, r)) {
                LanLaunch l;
                l.programDir = s_.ProgramDir;
                l.target = Target(r);
                l.user = vs_.TextMatrix(r, 3);
                l.password = vs_.TextMatrix(r, 5);
                l.sharedFolder = s_.LanUpdateDir;
                l.runName = runName_;
                l.row = r;
                l.productKey = s_.ProductKey;
                l.startWait = main_.cboStartUpd.ListIndex();
                l.closeWait = main_.cboCloseApp.ListIndex();
                l.closeApps = main_.optCloseApp1.Value();
                if (auto started = os_.processes->StartHeld(LanCommandLine(l))) started_.push_back(std::move(started));
            }
            w_.shpPG.Tag = std::to_string(static_cast<long>(Val(w_.shpPG.Tag)) + 1);
            w_.DrawProgress();
            forms::DoEvents();
        }
    }

    // Seconds since `start`, whole, on the program's clock (which never goes back, midnight or not).
    int64_t Elapsed(int64_t start) const { return static_cast<int64_t>(std::round((os_.clock->MonotonicMs() - start) / 1000.0)); }

    // The files in the run folder, upper-cased: one listing a look rather than a look for each
    // machine's file, and the names the system reported since. Under Wine a look for a file that
    // is not there yet reads the folder to match the name in any case, once for every machine
    // still waiting; on Windows a share remembers such a miss for up to 5 s, so a name is asked
    // for only once it is known to be there.
    std::set<std::string> Present(bool listing) {
        std::set<std::string> names;
        woken_ = false;
        if (watch_)
            for (const std::string& name : watch_->Changed()) names.insert(ToUpper(name));
        if (listing) Ignore([&] {
            for (const std::string& name : fs_.ListFiles(report_)) names.insert(ToUpper(name));
        });
        return names;
    }

    // Without `present`: asked for by name whatever the listing says.
    std::string ReadIfThere(const std::set<std::string>* present, const std::string& name) {
        if (present && !present->count(ToUpper(name))) return "";
        try {
            return fs_.ReadAllText(report_ + "\\" + name);
        } catch (const RuntimeError&) {
            return "";
        }
    }

    // Lets the window answer its user until the next look at the shared folder is due (at `until`
    // on the program's clock) or a change is reported, without spinning: the loop sleeps until
    // input comes or the pause is over. A change is looked at no sooner than kWokenGapRealMs after
    // the last look, so that the notifications of one file's writing, and of files written
    // together, are taken in one look.
    void Pause(int64_t until) {
        const int64_t soonest = os_.clock->MonotonicMs() + ClockMsFor(kWokenGapRealMs);
        WaitFor(until, true);
        if (woken_ && os_.clock->MonotonicMs() < std::min(until, soonest)) WaitFor(std::min(until, soonest), false);
    }

    void WaitFor(int64_t at, bool orWoken) {
        bool due = false;
        forms::Timer& timer = w_.tmrPoll;
        timer.Tick = [&] { due = true; };
        timer.SetInterval(static_cast<int>(std::clamp<int64_t>(at - os_.clock->MonotonicMs(), 1, INT32_MAX)));
        timer.SetEnabled(true);
        forms::Application::Current().WaitUntil([&] { return due || (orWoken && woken_) || w_.cmdClose.Tag == "C"; });
        timer.SetEnabled(false);
        timer.Tick = nullptr;
    }

    // One of the two waits: the rows whose Status reads `pending` answer with their file of
    // `extension` once it ends in "[END]"; `take` turns that into their Status. Rows still pending
    // after `seconds` get `timedOut`.
    struct Wait {
        const char* what;
        int seconds;
        const char* pending;
        const char* extension;
        const char* timedOut;
        bool closable;
        std::function<void(int row, const std::string& answer)> take;
    };

    void Await(const Wait& wait) {
        const int64_t start = os_.clock->MonotonicMs();
        int64_t nextLook = start;
        bool unfitted = false;
        while (true) {
            if (wait.closable && w_.cmdClose.Tag == "C") {
                const int answer = ShowMessage(&w_,
                                               "It will only stop waiting for response and will not stop update already "
                                               "running on LAN Machines.\r\n\r\nDo you really want to close waiting ?",
                                               MsgStyleYesNoCancel);
                if (answer == MsgYes) {
                    if (unfitted) FitStatus();
                    return;
                }
                w_.cmdClose.Tag.clear();
            }
            // A whole look (the listing, the time left) on the poll's pace; between them, only the
            // files a change notification named, which costs next to nothing.
            const bool whole = os_.clock->MonotonicMs() >= nextLook;
            if (whole) {
                nextLook = os_.clock->MonotonicMs() + ClockMsFor(watch_ ? kWatchedPollRealMs : kPollRealMs);
                Status(std::string("Waiting for ") + wait.what + " Response [Time Out in " +
                       TimeLeftText(static_cast<int16_t>(wait.seconds - Elapsed(start))) + "] ...");
            }
            int waiting = 0;
            bool changed = false;
            const std::set<std::string> present = Present(whole);
            const bool over = whole && Elapsed(start) >= wait.seconds;
            for (int r = 1; r < vs_.Rows(); ++r) {
                if (!Selected(vs_, r) || vs_.TextMatrix(r, Last()) != wait.pending) continue;
                const std::string file = std::to_string(r) + wait.extension;
                // Before a machine is given up, its file is asked for by name: a share's listing
                // may not show a file written in its last seconds.
                const std::string text = ReadIfThere(over ? nullptr : &present, file);
                if (text.find("[END]") != std::string::npos) {
                    Ignore([&] { fs_.DeleteFile(report_ + "\\" + file, true); });
                    wait.take(r, text);
                } else if (over) {
                    vs_.SetTextMatrix(r, Last(), wait.timedOut);
                } else {
                    ++waiting;
                    continue;
                }
                answeredAt_[r] = os_.clock->Now();
                changed = true;
            }
            // The Status column is sized on whole looks only: measuring hundreds of cells for
            // each result that a notification brought would cost more than the wait itself.
            unfitted = unfitted || changed;
            if (unfitted && (whole || waiting == 0)) {
                FitStatus();
                unfitted = false;
            }
            if (waiting == 0) return;
            Pause(nextLook);
        }
    }

    void WaitForConnections() {
        Await({"Connection", kConnectSeconds, "", ".txt", "Not Connected (Time Out)", false, [&](int r, const std::string& text) {
                   vs_.SetTextMatrix(r, Last(),
                                     text.find("Connected") != std::string::npos ? "Connected" : "Not Connected (Unknown reason)");
               }});
    }

    void WaitForUpdates() {
        Await({"Update", kUpdateSeconds, "Connected", ".log", "Connected (Time Out)", true,
               [&](int r, const std::string& text) { ShowLanResponse(main_, text, r); }});
    }

    // Once a look, and only the Status column: the others do not change during the run, and
    // sizing a grid of hundreds of machines measures every cell's text again.
    void FitStatus() { vs_.AutoSize(Last()); }

    void End() {
        if (!begun_) return;
        // Only this run's own PsExec processes, each by the handle it was started with: others on
        // this computer may be someone's work, even under a number one of ours had before. One
        // pause for all of them to let go of the program copy, not one each: a run of hundreds
        // of machines that never answered would otherwise hang here for minutes.
        bool ended = false;
        for (const auto& p : started_) ended = p->Terminate() || ended;
        started_.clear();
        if (ended) PauseAfterKill(500);
        watch_.reset();  // its open handle would hold the run folder
        WriteRecord();
        if (made_) Ignore([&] { fs_.DeleteFolder(report_, false); });
        if (!program_.empty()) Ignore([&] { fs_.DeleteFile(program_, false); });
    }

    // Which machines this run reached and how, for whoever looks later: a CSV in VEK_Updates named
    // by the run's start, each result with the time it came (the run's end for those that never
    // changed).
    void WriteRecord() {
        Ignore([&] {
            const DateTime now = os_.clock->Now();
            const DateTime& at = startedAt_;
            char stamp[32];
            std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", at.year, at.month, at.day, at.hour, at.minute,
                          at.second);
            auto field = [](std::string text) {
                std::string out = "\"";
                for (size_t i = 0; i < text.size(); ++i) {
                    if (text.compare(i, 2, "\r\n") == 0) {
                        out += " / ";
                        ++i;
                    } else {
                        out += text[i] == '"' ? std::string("\"\"") : std::string(1, text[i]);
                    }
                }
                return out + "\"";
            };
            std::string csv = "Machine,Address,Result,Time\r\n";
            for (int r = 1; r < vs_.Rows(); ++r) {
                if (!Selected(vs_, r)) continue;
                csv += field(vs_.TextMatrix(r, 1)) + "," + field(vs_.TextMatrix(r, 2)) + "," + field(vs_.TextMatrix(r, Last())) +
                       "," + field((answeredAt_.count(r) ? answeredAt_[r] : now).ToIsoText()) + "\r\n";
            }
            fs_.WriteAllText(PathParent(s_.LanUpdateDir) + "\\LanRun-" + stamp + ".csv", csv);
        });
    }

    template <class F>
    static void Ignore(F&& f) {
        try {
            f();
        } catch (const RuntimeError&) {
        }
    }

    frmUpdate& w_;
    frmmain& main_;
    forms::VSFlexGrid& vs_;
    SharedState& s_;
    platform::Platform& os_;
    platform::FileSystem& fs_;
    std::string runName_, runNumber_, report_, program_;
    std::optional<PackageSeal> seal_;
    bool begun_ = false, made_ = false;
    std::vector<std::unique_ptr<platform::StartedProcess>> started_;
    std::atomic<bool> woken_{false};
    std::unique_ptr<platform::FolderWatch> watch_;  // after woken_, which it sets until it goes
    DateTime startedAt_;
    std::map<int, DateTime> answeredAt_;
};

}  // namespace

std::string TimeLeftText(int16_t seconds) {
    std::string text;
    int s = seconds;
    if (s > 60) {
        text = std::to_string((s - s % 60) / 60) + " Minute(s)";
        s %= 60;
    }
    if (s >= 1) text += (text.empty() ? "" : " ") + std::to_string(s) + " Second(s)";
    return text;
}

void ShowLanResponse(frmmain& main, const std::string& log, int row) {
    if (log.empty()) return;
    std::string target, errors;
    bool ok = false;
    for (const std::string& line : Split(log, "\r\n")) {
        if (line.rfind("Process:Update:To->", 0) == 0) target = line.substr(19);
        else if (line == "Process:Update:OK") ok = true;
        else if (line.rfind("Error:", 0) == 0) errors += (errors.empty() ? "" : "\r\n") + line.substr(6);
    }
    forms::VSFlexGrid& vs = main.vs;
    const int last = vs.Cols() - 1;
    std::string text;
    if (ok && errors.empty()) {
        text = "Updated successfully to:\r\n" + target;
        vs.SetCellBackColor(row, last, 65280);
    } else if (ok) {
        text = "Updated to:\r\n" + target + "\r\nwith Errors:\r\n" + errors;
    } else if (!target.empty()) {
        text = errors.empty() ? "Unknown erros while updating to:\r\n" + target
                              : "Errors:\r\n" + errors + "\r\nWhile updating to:\r\n" + target;
    } else {
        text = errors.empty() ? "Unknown Response" : "Erros:\r\n" + errors;
    }
    vs.SetTextMatrix(row, last, text);
}

// A quoted argument as PsExec's parser reads it back: backslashes just before the closing quote
// are doubled, or the last of them would escape it (a password ending in "\" took the rest of
// the line with it).
static std::string Quoted(const std::string& text) {
    const size_t end = text.find_last_not_of('\\') + 1;
    return kQ + text + std::string(text.size() - end, '\\') + kQ;
}

std::string LanCommandLine(const LanLaunch& l) {
    std::string line = std::string(kQ) + l.programDir + "\\MiscFls\\PsExec.exe" + kQ + " " + Quoted("\\\\" + l.target);
    if (!l.user.empty()) line += " -u " + Quoted(l.user) + " -p " + Quoted(l.password);
    line += std::string(" -accepteula -c -f -i 0 ") + kQ + l.sharedFolder + "\\Up" + l.runName.substr(3) + ".exe" + kQ;
    line += " AUTOUPD-" + l.productKey + ":" + l.sharedFolder + ":" + std::to_string(l.row) + ":" + l.runName + ":" +
            std::to_string(l.startWait) + ":" + std::to_string(l.closeWait) + ":" + (l.closeApps ? "Y" : "N");
    return line;
}

void UpdateLAN(frmUpdate& window) { LanRun(window).Run(); }

void InstallLanRun() { UpdateHooks().updateLAN = UpdateLAN; }

}  // namespace updexar
