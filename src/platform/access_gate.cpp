#include "platform/access_gate.h"

namespace platform {

namespace {

thread_local AccessGate* t_gate = nullptr;

} // namespace

AccessGate* ThreadAccessGate() {
    return t_gate;
}

void SetThreadAccessGate(AccessGate* gate) {
    t_gate = gate;
}

void PassAccessGate(std::string_view path, EAccess access) {
    if (!t_gate)
        return;
    const size_t slash = path.find_last_of("/\\");
    t_gate->Before(slash == std::string_view::npos ? path : path.substr(slash + 1), access);
}

} // namespace platform
