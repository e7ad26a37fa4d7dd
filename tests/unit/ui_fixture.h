// A pretend computer with a headless window system, for tests of windows.
#pragma once

#include "fakes/fake_platform.h"
#include "fakes/headless_backend.h"
#include "forms/grid.h"
#include "core/product_table.h"
#include "core/shared_state.h"
#include "core/update_log.h"
#include "platform/strings.h"
#include "ui/msgbox.h"

namespace updexar::uitest {

struct UiFixture {
    fakes::FakePlatform fake;
    fakes::ScopedPlatform installed{fake};
    platform::ManualClock& clock = fake.clock;
    fakes::FakeFileSystem& files = fake.files;
    fakes::FakeRegistry& registry = fake.registry;
    fakes::FakeSystem& system = fake.system;
    fakes::HeadlessBackend backend;
    forms::Application app{backend, fake.clock};
    UiFixture() {
        system.SetMetric(4, 18);  // caption bar
        ResetShared();
        Shared().SysDir = "C:\\WINDOWS\\system32";
        Shared().FileSys = &files;
        ResetUpdateLog();
    }
    // A file with its folders made on the way.
    void Put(const std::string& path, const std::string& text) {
        files.MakeFolders(PathParent(path));
        files.WriteAllText(path, text);
    }
    // The shared record as the start leaves it for this product key.
    static void SetProduct(const std::string& key) {
        const ProductRow* row = ProductByKey(key);
        Shared().ProductKey = std::string(row->key);
        Shared().ProductName = std::string(row->name);
        Shared().ProductDirName = std::string(row->dirName);
    }
    // A package on a share, run by hand or unattended with its log at kShareLog; messages answered.
    static inline const std::string kSharePkg = "\\\\SERVER\\share\\Upd1", kShareLog = kSharePkg + "\\Log1\\3.log";
    void OnShare(const std::string& product, bool automatic) {
        AnswerMessages();
        if (!product.empty()) SetProduct(product);
        system.commandLine = automatic ? "AUTOUPD-" + product + ":" + kSharePkg + ":3:Log1:0:0:N" : "";
        files.AddShare("\\\\SERVER\\share");
        files.MakeFolders(PathParent(kShareLog));
    }
    std::string Log() { return files.FileExists(kShareLog) ? files.ReadAllText(kShareLog) : ""; }
    // The exit code when the run ended the process.
    static std::optional<uint32_t> Ended(const std::function<void()>& run) {
        try {
            run();
        } catch (const fakes::ProcessEnded& e) {
            return e.exitCode;
        }
        return std::nullopt;
    }
    // Every message box from now on is recorded as "title|text" and answered by pressing the
    // button whose caption is next in `answers` (Enter when none is queued).
    std::vector<std::string> messages;
    std::deque<std::string> answers;
    void AnswerMessages() {
        backend.Always("frmMsgBox", [this](forms::Form& f) {
            auto& m = static_cast<frmMsgBox&>(f);
            messages.push_back(m.Caption() + "|" + m.lblMsg.Caption());
            const std::string caption = answers.empty() ? "" : answers.front();
            if (!answers.empty()) answers.pop_front();
            for (int i = 0; i < m.ButtonCount(); ++i)
                if (m.Button(i).Caption() == caption) return m.Button(i).Press();
            fakes::HeadlessBackend::Key(m, forms::KeyReturn);
        });
    }
};

// A machine row at the end of the LAN grid: name and address with their boxes (1 ticked,
// 2 unticked, 0 none), the user, and the password with its mask.
inline void AddMachineRow(forms::VSFlexGrid& vs, const std::string& name, int nameBox, const std::string& address,
                          int addressBox, const std::string& user, const std::string& password) {
    vs.AddItem("");
    const int r = vs.Rows() - 1;
    vs.SetTextMatrix(r, 1, name);
    vs.SetCellChecked(r, 1, nameBox);
    vs.SetTextMatrix(r, 2, address);
    vs.SetCellChecked(r, 2, addressBox);
    vs.SetTextMatrix(r, 3, user);
    vs.SetTextMatrix(r, 4, std::string(forms::CharCount(password), '*'));
    vs.SetTextMatrix(r, 5, password);
}

// The LAN grid's rows, each as "number|name(box)|address(box)|user|mask|password".
inline std::vector<std::string> GridRows(forms::VSFlexGrid& vs) {
    std::vector<std::string> rows;
    for (int r = 1; r < vs.Rows(); ++r) {
        rows.push_back(vs.TextMatrix(r, 0));
        for (int c = 1; c <= 5; ++c)
            rows.back() += "|" + vs.TextMatrix(r, c) + (c <= 2 ? "(" + std::to_string(vs.CellChecked(r, c)) + ")" : "");
    }
    return rows;
}

}  // namespace updexar::uitest
