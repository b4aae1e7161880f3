// Checking an Invoke call against a member's declaration.
#include "framework/DispatchRules.h"

namespace fw::rules {
namespace {

CallPlan Fail(Outcome outcome, std::uint32_t slot = kNoArgument) {
    CallPlan plan;
    plan.outcome = outcome;
    plan.failedSlot = slot;
    return plan;
}

CallPlan PlanPut(const MemberShape& member, const CallShape& call, std::span<const ArgShape> args) {
    if (!member.writable) return Fail(Outcome::MemberNotFound);
    if (call.argc != 1) return Fail(Outcome::BadParamCount);
    // The value is the one named DISPID_PROPERTYPUT argument; tolerate callers that do not name it.
    if (call.namedCount > 1 ||
        (call.namedCount == 1 && (!call.namedIdsPresent || call.firstNamedId != kPropertyPutId))) {
        return Fail(Outcome::ParamNotFound);
    }
    if (args.empty()) return Fail(Outcome::InvalidArgument);
    const Conversion conversion = ConversionFor(args[0], member.type);
    if (args[0].missing || conversion == Conversion::Refuse) return Fail(Outcome::TypeMismatch, 0);
    CallPlan plan;
    plan.op = Op::Put;
    plan.count = 1;
    plan.args[0] = {0, member.type, conversion};
    return plan;
}

CallPlan PlanMethod(const MemberShape& member, const CallShape& call, std::span<const ArgShape> args) {
    if (!(call.flags & kMethod)) return Fail(Outcome::MemberNotFound);
    if (call.namedCount) return Fail(Outcome::NoNamedArgs);
    if (member.params.size() > kMaxParams || call.argc != member.params.size()) return Fail(Outcome::BadParamCount);
    if (args.size() < call.argc) return Fail(Outcome::InvalidArgument);
    CallPlan plan;
    plan.op = Op::Call;
    plan.count = static_cast<std::uint8_t>(call.argc);
    for (std::uint32_t i = 0; i < call.argc; ++i) {
        const std::uint32_t slot = call.argc - 1 - i;  // rgvarg holds the arguments last to first
        if (args[slot].missing) return Fail(Outcome::ParamNotOptional, slot);
        const Conversion conversion = ConversionFor(args[slot], member.params[i]);
        if (conversion == Conversion::Refuse) return Fail(Outcome::TypeMismatch, slot);
        plan.args[i] = {slot, member.params[i], conversion};
    }
    return plan;
}

}  // namespace

Conversion ConversionFor(const ArgShape& arg, std::uint16_t wanted) {
    if (arg.nullPointer) return Conversion::Refuse;
    if (wanted == kText && (arg.type == kNull || arg.type == kEmpty)) return Conversion::NullText;
    return wanted == kVariant ? Conversion::CopyValue : Conversion::ChangeType;
}

CallPlan PlanCall(const MemberShape& member, const CallShape& call, std::span<const ArgShape> args) {
    if (call.argc && !call.argsPresent) return Fail(Outcome::InvalidArgument);
    const bool isPut = (call.flags & (kPropertyPut | kPropertyPutRef)) != 0;
    if (!member.property) return PlanMethod(member, call, args);
    if (isPut) return PlanPut(member, call, args);
    if (!(call.flags & kPropertyGet)) return Fail(Outcome::MemberNotFound);
    if (call.namedCount) return Fail(Outcome::NoNamedArgs);
    if (call.argc != 0) return Fail(Outcome::BadParamCount);
    return CallPlan{};
}

}  // namespace fw::rules
