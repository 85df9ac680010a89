#include "radio/microhard/MicrohardFixedRegisters.h"

#include <string>

#include "common/Conversions.h"

namespace Veltrio {
namespace Radio {

void MicrohardRegisterReads::add(int number, std::list<Command*>& sequence) {
    reads.emplace_back("ATS" + std::to_string(number) + "?\r\n", "OK");
    sequence.push_back(&reads.back());
    lineOf[number] = &reads.back();
}

void MicrohardRegisterReads::readBy(int number, const MicrohardBaseClassGetStrValueCommand& command) {
    lineOf[number] = &command;
}

std::map<int, int> MicrohardRegisterReads::values() const {
    std::map<int, int> result;
    for (const auto& [number, command] : lineOf) result[number] = Common::convertStrToInt(command->getStrValue());
    return result;
}

} // namespace Radio
} // namespace Veltrio
