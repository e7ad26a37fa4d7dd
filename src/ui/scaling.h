// Windows are laid out for 800 x 600 at 96 DPI; these stretch them to the real screen.
#pragma once

namespace updexar::forms {
class Form;
}

namespace updexar {

// Measures the screen once and sets sx, sy and sf of the shared record.
void ComputeScaleFactors();
// Moves, resizes and re-fonts every control of a loaded window, and the window itself.
void ScaleForm(forms::Form& form);
// The window in the middle of the screen.
void CenterOnScreen(forms::Form& form);


}  // namespace updexar
