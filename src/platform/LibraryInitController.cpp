#include "platform/LibraryInitController.h"

#include <vector>

namespace vexo::templates::platform {

namespace {

struct ControllerInstance {
    std::vector<patterns::GuardedSingletonBase *> singletons;
    std::vector<LibraryInitController::TeardownFunction> teardownFunctions;
};

struct ControllerState {
    patterns::SpinLockVariable lock;
    int32_t useCount = 0;
    ControllerInstance *instance = nullptr;
};

ControllerState &State() {
    static ControllerState state;
    return state;
}

void RunTeardown(ControllerInstance &instance) {
    // Indices, not iterators: a teardown function may register more.
    for (size_t i = 0; i < instance.teardownFunctions.size(); ++i) instance.teardownFunctions[i]();
    for (size_t i = 0; i < instance.singletons.size(); ++i) {
        patterns::GuardedSingletonBase *singleton = instance.singletons[i];
        singleton->OnTeardown();
        std::atomic<patterns::GuardedSingletonBase *> *published = singleton->InstancePointerAddress();
        delete singleton;
        published->store(nullptr, std::memory_order_release);
    }
}

}  // namespace

LibraryInitController::Lock::Lock() : guard_(State().lock) {}

int32_t LibraryInitController::Init() {
    Lock lock;
    ControllerState &state = State();
    if (++state.useCount == 1) state.instance = new ControllerInstance;
    return state.useCount;
}

void LibraryInitController::Deinit() {
    Lock lock;
    ControllerState &state = State();
    if (state.useCount <= 0) return;
    if (--state.useCount != 0) return;
    ControllerInstance *instance = state.instance;
    if (instance == nullptr) return;
    RunTeardown(*instance);
    state.instance = nullptr;
    delete instance;
}

void LibraryInitController::RegisterTeardownFunction(TeardownFunction function) {
    Lock lock;
    if (State().instance != nullptr) State().instance->teardownFunctions.push_back(function);
}

void LibraryInitController::RegisterSingleton(patterns::GuardedSingletonBase *singleton) {
    Lock lock;
    if (State().instance != nullptr) State().instance->singletons.push_back(singleton);
}

int32_t LibraryInitController::UseCount() {
    Lock lock;
    return State().useCount;
}

bool LibraryInitController::IsUp() {
    Lock lock;
    return State().instance != nullptr;
}

}  // namespace vexo::templates::platform
