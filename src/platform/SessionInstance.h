#pragma once

#include <functional>

namespace tarn::SessionInstance {

// What a later start of Tarn asks of the running one.
enum class Request { none, quickOpen, menu };

// Makes this process the one Tarn of the desktop session, with `handler` answering the requests
// of later starts on the GUI thread. False when another Tarn already is the one: `request` has
// then been handed to it, and this process should end. Without a session bus every start runs
// on its own. Needs the application object.
bool claim(Request request, std::function<void(Request)> handler);

} // namespace tarn::SessionInstance
