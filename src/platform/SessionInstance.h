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
// the application object.
Claim claim(Request request, std::function<void(Request)> handler);

} // namespace tarn::SessionInstance
