// HS_StartMassEdit, HS_MassEditProgress, HS_EndMassEdit: the bracket around a
// scan, and the user's cancel as a test plans it.
#include "host/services/service_state.h"
#include "shell/host_services.h"

extern "C" {

std::uint32_t HS_StartMassEdit(const RegionRecord* region, std::int16_t zero) {
    (void)region;
    (void)zero;
    host::ServiceState& state = host::Services();
    host::LogCall("start");
    if (!state.document) return 0;
    if (state.openHandle != 0) host::Complain("HS_StartMassEdit while a mass edit is still open");
    state.openHandle = state.nextHandle++;
    return state.openHandle;
}

std::int16_t HS_MassEditProgress(std::uint32_t handle, std::int16_t four, std::int16_t staff, std::int16_t measure,
                                 std::int16_t minusOne) {
    (void)four;
    (void)minusOne;
    host::ServiceState& state = host::Services();
    ++state.progressCalls;
    if (host::Logging()) host::LogCall("progress " + std::to_string(staff) + " " + std::to_string(measure));
    if (!state.document) return 0;
    if (handle == 0 || handle != state.openHandle) host::Complain("HS_MassEditProgress with a handle not open");
    if (state.cancelAtCall != 0 && state.progressCalls == state.cancelAtCall) {
        state.cancelAtCall = 0;
        return 0;
    }
    if (state.progressWatcher && !state.progressWatcher(staff, measure)) return 0;
    return 1;
}

std::int16_t HS_EndMassEdit(std::uint32_t handle, std::int16_t cancelled) {
    host::ServiceState& state = host::Services();
    host::LogCall("end " + std::to_string(cancelled));
    if (!state.document) return 0;
    if (handle == 0 || handle != state.openHandle) host::Complain("HS_EndMassEdit with a handle not open");
    state.openHandle = 0;
    return 1;
}

}  // extern "C"
