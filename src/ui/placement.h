// Laying out a window's controls in code: each goes into its container (a frame or picture box;
// null for the form) at a place given in twips, as the window was designed.
#pragma once

#include "forms/control.h"

namespace updexar {

template <class T>
T& Placed(T& c, forms::Control* container, double left, double top, double width, double height) {
    c.SetContainer(container);
    c.Move(left, top, width, height);
    return c;
}

}  // namespace updexar
