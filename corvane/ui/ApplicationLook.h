// The five looks of the window (commands 211 to 215) as palettes of the
// Fusion style. The chosen look is stored under "ApplicationLook" beside the
// settings section; 211, the blue look, is the default.
#pragma once

#include <QPalette>

class QSettings;

namespace ApplicationLook {

constexpr int First = 211;
constexpr int Last = 215;
constexpr int Default = 211;

QPalette PaletteOf(int look);
// The stored look; the default when none (or an unknown one) is stored.
int Stored(const QSettings& settings);
void Store(QSettings& settings, int look);
// Sets the Fusion style with the look's palette on the application.
void Apply(int look);

}  // namespace ApplicationLook
