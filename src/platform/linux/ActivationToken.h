#pragma once

#include <QString>

namespace tarn::ActivationToken {

// How long a token waits for the activation it was given for.
inline constexpr int holdMs = 3000;

// Whether `token` can be a desktop's activation token: printable ASCII, at most 256 bytes.
bool acceptable(const QString& token);

// Puts `token`, when acceptable, where Qt's Wayland plugin takes it at the next window
// activation (the environment), for a moment only: it is taken out again after `holdMs`, so
// that nothing Tarn starts later (scripts, git, editors) inherits it.
void offer(const QString& token);

} // namespace tarn::ActivationToken
