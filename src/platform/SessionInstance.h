#pragma once

#include <functional>

namespace tarn::SessionInstance {

// What a later start of Tarn asks of the running one.
enum class Request { none, quickOpen, menu };

// How a start of Tarn went: this process is the session's Tarn; or another one is, and this
// process should end, having handed `request` to it, or finding that it does not answer.
enum class Claim { ours, handedOver, unanswered };

// Makes this process the one Tarn of the desktop session, with `handler` answering the requests
// of later starts on the GUI thread. Without a session bus every start runs on its own. Needs
// the application object. Once the process is the session's Tarn it makes sure, now and then,
// that it still hears the bus; `deaf` is called on the GUI thread when it no longer does (the
// bus answers others, but nothing reaches Tarn: no later start, no panel, would be heard).
Claim claim(Request request, std::function<void(Request)> handler, std::function<void()> deaf = {});

// Replaces this process by a fresh Tarn, which takes the session over as soon as this one is
// gone. Returns only when that could not be done.
void restart();

} // namespace tarn::SessionInstance
