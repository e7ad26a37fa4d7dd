// The program's own message box: the system message box's styles and result codes, sized to its
// text and scaled to the screen. Falls back to the system message box when it cannot be shown.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "forms/form.h"

namespace updexar {

enum MsgResult : int16_t { MsgOk = 1, MsgCancel = 2, MsgAbort = 3, MsgRetry = 4, MsgIgnore = 5, MsgYes = 6, MsgNo = 7 };

// The styles the program uses: the system message box's numbers, icon + buttons + default button.
enum MsgStyleCode : int {
    MsgStyleOk = 0,
    MsgStyleAbortRetryIgnore = 18,  // critical icon
    MsgStyleQuestion = 36,          // Yes/No
    MsgStyleError = 48,             // exclamation icon, OK
    MsgStyleInfo = 64,              // information icon, OK
    MsgStyleQuestionNo = 292,       // Yes/No with No as default
    MsgStyleYesNoCancel = 547,      // question icon, Cancel as default
};

int16_t ShowMessage(forms::Form* owner, const std::string& prompt, int style = 0,
                    const std::optional<std::string>& title = std::nullopt);

// What a style asks for.
struct MsgStyle {
    int icon = 0;        // 16, 32, 48, 64, or 0 for none
    int buttonSet = 0;   // 0..5
    int defaultButton = 0;  // 0, 1 or 2
};
MsgStyle DecodeMsgStyle(int style);
// The result of the button with this caption ("&Yes" -> 6, ...); 0 for an unknown caption.
int16_t ResultOfCaption(const std::string& caption);

class frmMsgBox : public forms::Form {
public:
    frmMsgBox();
    forms::Image& imgC;
    forms::Image& imgQ;
    forms::Image& imgE;
    forms::Image& imgI;
    forms::Label& lblMsg;

    void Form_Load() override;
    void Form_QueryUnload(int& cancel, forms::UnloadMode mode) override;
    void Form_KeyDown(int& keyCode, int shift) override;
    void cmdAction_Click(int index);
    // Loads button array member `index` (0 exists from the start).
    forms::CommandButton& Button(int index);
    int ButtonCount() const;
};

}  // namespace updexar
