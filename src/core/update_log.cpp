#include "core/update_log.h"

#include <memory>

#include "platform/errors.h"
#include "platform/platform.h"
#include "platform/strings.h"
#include "core/exit_codes.h"
#include "core/shared_state.h"

namespace updexar {
namespace {

// The open log; LogFileNo in the shared record says whether there is one.
std::unique_ptr<platform::TextWriter> g_log;
bool g_updateOk = false;
bool g_errorLogged = false;
ExitCode g_outcome = ExitUpdateStep;

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::string::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
    return text;
}


}  // namespace

std::vector<std::string> CommandFields(const std::string& commandLine) { return Split(commandLine, ":"); }

bool IsAutomaticMode() { return !platform::Os().system->CommandLine().empty(); }

std::string ReportFilePath(const std::string& commandLine, const std::string& extension) {
    const std::vector<std::string> f = CommandFields(commandLine);
    if (f.size() < 4) throw RuntimeError(ErrSubscript);
    return f[1] + "\\" + f[3] + "\\" + f[2] + extension;
}

void LogErrorLAN(const std::string& text) {
    SharedState& s = Shared();
    try {
        if (s.LogFileNo == 0 || !g_log) {
            const std::string path = ReportFilePath(platform::Os().system->CommandLine(), ".log");
            g_log = platform::Os().files->OpenTextWriter(path, false);
            s.LogFileNo = 1;
            g_log->WriteLine("[START]");
        }
        std::string line = ReplaceAll(text, "\r\n", ";");
        line = ReplaceAll(line, "\t", "  ");
        g_log->WriteLine(line);
        if (text == "Process:Update:OK") g_updateOk = true;
        if (text.rfind("Error:", 0) == 0) g_errorLogged = true;
        if (text == "[END]") {
            g_log->Close();
            g_log.reset();
            s.LogFileNo = 0;
            platform::EndProcessNow(!g_updateOk ? g_outcome : g_errorLogged ? ExitUpdatedWithErrors : ExitOk);
        }
    } catch (const RuntimeError& e) {
        // Nobody is there to read a message box, and there is no log to write it to: the exit
        // code is the only word left.
        const ExitCode code = e.Number() == ErrSubscript ? ExitBadCommandLine : ExitLogUnwritable;
        try {
            if (g_log) g_log->Close();
        } catch (...) {
        }
        g_log.reset();
        s.LogFileNo = 0;
        platform::EndProcessNow(code);
    }
}

void WriteMarkerFile() {
    SharedState& s = Shared();
    const std::string path = ReportFilePath(platform::Os().system->CommandLine(), ".txt");
    // The marker holds the file number only while it is written, also when writing fails.
    struct Release {
        SharedState& s;
        ~Release() { s.LogFileNo = 0; }
    } release{s};
    auto marker = platform::Os().files->OpenTextWriter(path, false);
    s.LogFileNo = 1;
    marker->WriteLine("[START]");
    marker->WriteLine("Connected");
    marker->WriteLine("[END]");
    marker->Close();
}

void NoteRunOutcome(ExitCode code) {
    g_updateOk = false;
    g_outcome = code;
}

void EndAutomaticRun(ExitCode code) {
    NoteRunOutcome(code);
    LogErrorLAN("[END]");
    // LogErrorLAN ends the process at "[END]" whatever happens; this is never reached.
    platform::EndProcessNow(code);
}

void ResetUpdateLog() {
    g_updateOk = false;
    g_errorLogged = false;
    g_outcome = ExitUpdateStep;
    g_log.reset();
    Shared().LogFileNo = 0;
}

}  // namespace updexar
