#include "zemrunRoomRules.h"

#include <algorithm>

THeldStart TRoomRules::Hold(bool anyRunning) {
    if (settings_.Delay > 0 && lastStart_) {
        const uint64_t since = system_.Milliseconds() - *lastStart_;
        if (since < uint64_t(settings_.Delay))
            return {THeldStart::Delay, settings_.Delay - since, uint64_t(settings_.Delay)};
    }
    if (!anyRunning || (settings_.MemFree == 0 && settings_.LoadLimit == NoLoadLimit)) return {};
    const TMachine machine = Machine();
    if (settings_.MemFree > 0 && machine.availableMemory < settings_.MemFree)
        return {THeldStart::Memory, machine.availableMemory, settings_.MemFree};
    if (settings_.LoadLimit != NoLoadLimit && machine.load >= settings_.LoadLimit)
        return {THeldStart::Load, uint64_t(std::max(machine.load, 0)),
                uint64_t(settings_.LoadLimit)};
    return {};
}

bool TRoomRules::MemoryShort() {
    return settings_.MemFree > 0 && Machine().availableMemory < settings_.MemFree / 2;
}

TMachine TRoomRules::Machine() {
    const uint64_t now = system_.Milliseconds();
    if (!lookedAt_ || now - *lookedAt_ >= LookMilliseconds) {
        machine_ = system_.Machine();
        lookedAt_ = now;
    }
    return machine_;
}
