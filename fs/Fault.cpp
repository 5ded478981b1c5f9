#include "fs/Fault.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <utility>

namespace tidyfold::fs::fault {

namespace {

constexpr std::size_t kCalls = static_cast<std::size_t>(Call::Count_);

// One slot per kind of call. `trigger` holds the use number that must fail
// (0 = unarmed); once that use has gone by, the slot can never fire again
// because use numbers only grow until the next Reset.
struct Slot {
    std::atomic<long> uses{0};
    std::atomic<long> trigger{0};
    std::atomic<int> errnum{0};
};

std::array<Slot, kCalls> slots;
std::atomic<unsigned> lacks{0};

// Set by tests on the thread that then runs the pass; the flags keep the
// common case (no hook, no action) to one load.
std::atomic<bool> descentHookSet{false};
std::atomic<bool> actionSet{false};
struct Action {
    Call call = Call::Count_;
    long use = 0;
    std::function<void()> run;
};
Action& TheAction() {
    static Action action;
    return action;
}

void RunActionAt(Call call, long use) {
    Action& action = TheAction();
    if (action.call != call || action.use != use)
        return;
    actionSet.store(false, std::memory_order_relaxed);
    const std::function<void()> run = std::move(action.run);
    action = Action{};
    run();
}
DescentHook& TheDescentHook() {
    static DescentHook hook;
    return hook;
}

Slot& SlotOf(Call call) { return slots[static_cast<std::size_t>(call)]; }

constexpr std::array<std::string_view, kCalls> kNames = {
    "Open",   "Close",  "Read",  "Write",   "CopyFileRange", "Fsync",    "Lstat",
    "Fstat",  "Opendir", "Readdir", "Mkdir", "Rmdir",         "Unlink",   "Rename",
    "Link",   "Symlink", "Readlink", "Chmod", "Utimens",       "Stat",     "Statvfs", "HistoryOpen", "HistoryWrite", "HistorySync",
    "HistoryTruncate",
};

}  // namespace

std::string_view Name(Call call) {
    auto index = static_cast<std::size_t>(call);
    return index < kCalls ? kNames[index] : std::string_view("?");
}

void Inject(Call call, int errnum, int nth) {
    Slot& slot = SlotOf(call);
    slot.errnum.store(errnum, std::memory_order_relaxed);
    // Release pairs with the acquire in Check, so a thread that sees the
    // trigger also sees the errno that goes with it.
    slot.trigger.store(slot.uses.load(std::memory_order_relaxed) + (nth < 1 ? 1 : nth),
                       std::memory_order_release);
}

void Reset() {
    SetDescentHook(nullptr);
    lacks.store(0, std::memory_order_relaxed);
    actionSet.store(false, std::memory_order_relaxed);
    TheAction() = Action{};
    for (Slot& slot : slots) {
        slot.trigger.store(0, std::memory_order_relaxed);
        slot.errnum.store(0, std::memory_order_relaxed);
        slot.uses.store(0, std::memory_order_relaxed);
    }
}

void Pretend(Lack lack) { lacks.fetch_or(1u << static_cast<unsigned>(lack), std::memory_order_relaxed); }

bool Lacks(Lack lack) { return (lacks.load(std::memory_order_relaxed) & (1u << static_cast<unsigned>(lack))) != 0; }

long Uses(Call call) { return SlotOf(call).uses.load(std::memory_order_relaxed); }

int Check(Call call) {
    Slot& slot = SlotOf(call);
    long use = slot.uses.fetch_add(1, std::memory_order_relaxed) + 1;
    if (actionSet.load(std::memory_order_acquire))
        RunActionAt(call, use);
    long trigger = slot.trigger.load(std::memory_order_acquire);
    if (trigger == 0 || trigger != use)
        return 0;
    // Only the thread that disarms the slot reports the fault.
    if (!slot.trigger.compare_exchange_strong(trigger, 0, std::memory_order_acq_rel))
        return 0;
    return slot.errnum.load(std::memory_order_relaxed);
}

}  // namespace tidyfold::fs::fault

namespace tidyfold::fs::fault {

void InjectAction(Call call, int nth, std::function<void()> action) {
    actionSet.store(false, std::memory_order_relaxed);
    TheAction() = Action{call, Uses(call) + (nth < 1 ? 1 : nth), std::move(action)};
    actionSet.store(static_cast<bool>(TheAction().run), std::memory_order_release);
}

void SetDescentHook(DescentHook hook) {
    descentHookSet.store(false, std::memory_order_relaxed);
    TheDescentHook() = std::move(hook);
    descentHookSet.store(static_cast<bool>(TheDescentHook()), std::memory_order_release);
}

void BeforeDescent(const std::string& path) {
    if (!descentHookSet.load(std::memory_order_acquire))
        return;
    // Called through a copy: the hook may replace itself while it runs.
    const DescentHook hook = TheDescentHook();
    if (hook)
        hook(path);
}

}  // namespace tidyfold::fs::fault
