// libFuzzer target: arbitrary members and Invoke calls through the dispatch argument rules.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "framework/DispatchRules.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

// Takes bytes off the front of the input; zeros once it is used up.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t U8() { return size_ ? (--size_, *data_++) : 0; }
    std::uint16_t U16() { return static_cast<std::uint16_t>(U8() | U8() << 8); }
    std::uint32_t U32() { return static_cast<std::uint32_t>(U16() | static_cast<std::uint32_t>(U16()) << 16); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

// Mostly the types that matter, sometimes anything.
std::uint16_t SomeType(Bytes& in) {
    static constexpr std::uint16_t kTypes[] = {0, 1, 2, 3, 8, 9, 10, 11, 12, 13, 19, 0x4008, 0x400C, 0x2003};
    const std::uint8_t pick = in.U8();
    return pick < 224 ? kTypes[pick % std::size(kTypes)] : in.U16();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fw::rules;
    Bytes in(data, size);
    std::array<std::uint16_t, kMaxParams + 1> params{};
    const std::uint8_t memberBits = in.U8();
    const std::size_t paramCount = memberBits % (kMaxParams + 2);  // one more than members have
    for (std::size_t i = 0; i < paramCount; ++i) params[i] = SomeType(in);
    const MemberShape member = {
        (memberBits & 0x80) != 0, (memberBits & 0x40) != 0, SomeType(in), {params.data(), paramCount}};

    const std::uint8_t callBits = in.U8();
    CallShape call{};
    call.flags = static_cast<std::uint16_t>(callBits & 0x0F);
    call.argc = (callBits & 0x10) ? in.U32() : in.U8() % 7u;
    call.argsPresent = (callBits & 0x20) == 0;
    call.namedCount = in.U8() % 3u;
    call.namedIdsPresent = (callBits & 0x40) == 0;
    call.firstNamedId = (callBits & 0x80) ? -3 : static_cast<std::int32_t>(in.U32());

    // The caller's arguments, exactly as many as are looked at (ASan sees any read beyond).
    const std::size_t given = call.argsPresent ? std::min<std::size_t>(call.argc, kMaxParams) : 0;
    std::vector<ArgShape> args(given);
    for (ArgShape& a : args) {
        const std::uint8_t bits = in.U8();
        a = {SomeType(in), (bits & 1) != 0, (bits & 2) != 0};
    }

    const CallPlan plan = PlanCall(member, call, args);
    if (plan.outcome != Outcome::Ok) {
        Require(plan.count == 0);
        Require(plan.failedSlot == kNoArgument || plan.failedSlot < call.argc);
        return 0;
    }
    const bool put = (call.flags & (kPropertyPut | kPropertyPutRef)) != 0;
    switch (plan.op) {
    case Op::Get:
        Require(member.property && !put && (call.flags & kPropertyGet) && call.argc == 0 && call.namedCount == 0);
        Require(plan.count == 0);
        break;
    case Op::Put:
        Require(member.property && member.writable && put && call.argc == 1 && plan.count == 1);
        Require(plan.args[0].slot == 0 && plan.args[0].wanted == member.type && !args[0].missing);
        break;
    case Op::Call:
        Require(!member.property && (call.flags & kMethod) && call.namedCount == 0);
        Require(call.argc == paramCount && plan.count == paramCount);
        break;
    }
    for (std::uint8_t i = 0; i < plan.count; ++i) {
        const ArgPlan& a = plan.args[i];
        Require(a.slot < given && a.conversion != Conversion::Refuse && !args[a.slot].nullPointer);
        if (plan.op == Op::Call) Require(a.slot == call.argc - 1 - i && a.wanted == params[i]);
        Require(a.conversion == ConversionFor(args[a.slot], a.wanted));
    }
    return 0;
}
