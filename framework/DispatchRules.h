// The checks of an Invoke call against a member's declaration, on plain numbers: which handler
// runs, which of the caller's arguments goes where and how each is converted. No Windows call:
// Dispatch.cpp carries the plan out on the real VARIANTs, and the fuzz build tests it natively.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace fw::rules {

// Automation codes as the Windows headers define them (Dispatch.cpp checks that they agree).
constexpr std::uint16_t kMethod = 1;
constexpr std::uint16_t kPropertyGet = 2;
constexpr std::uint16_t kPropertyPut = 4;
constexpr std::uint16_t kPropertyPutRef = 8;
constexpr std::int32_t kPropertyPutId = -3;
constexpr std::uint16_t kEmpty = 0;
constexpr std::uint16_t kNull = 1;
constexpr std::uint16_t kText = 8;
constexpr std::uint16_t kDispatch = 9;
constexpr std::uint16_t kUnknown = 13;
constexpr std::uint16_t kVariant = 12;
constexpr std::uint16_t kByRef = 0x4000;

constexpr std::size_t kMaxParams = 4;
constexpr std::uint32_t kNoArgument = 0xFFFFFFFFu;

struct MemberShape {
    bool property;
    bool writable;                          // a property with a setter
    std::uint16_t type;                     // property type
    std::span<const std::uint16_t> params;  // method parameters in declared order (kMaxParams at most)
};

struct CallShape {
    std::uint16_t flags;
    std::uint32_t argc;
    bool argsPresent;  // rgvarg is not null
    std::uint32_t namedCount;
    bool namedIdsPresent;       // rgdispidNamedArgs is not null
    std::int32_t firstNamedId;  // rgdispidNamedArgs[0] when present
};

// One argument as the caller passed it, after following a reference to a VARIANT.
struct ArgShape {
    std::uint16_t type;
    bool nullPointer;  // it carries a reference or an object, and that is null
    bool missing;      // the caller's "omitted" marker (VT_ERROR, DISP_E_PARAMNOTFOUND), before following
};

enum class Outcome : std::uint8_t {
    Ok,
    InvalidArgument,  // arguments counted but not given
    MemberNotFound,
    BadParamCount,
    NoNamedArgs,
    ParamNotFound,
    ParamNotOptional,
    TypeMismatch,
};
enum class Op : std::uint8_t { Get, Put, Call };
enum class Conversion : std::uint8_t { Refuse, NullText, CopyValue, ChangeType };

struct ArgPlan {
    std::uint32_t slot = 0;  // index in the caller's rgvarg
    std::uint16_t wanted = 0;
    Conversion conversion = Conversion::Refuse;
};

struct CallPlan {
    Outcome outcome = Outcome::Ok;
    Op op = Op::Get;
    std::uint8_t count = 0;  // handler arguments, in declared order
    std::array<ArgPlan, kMaxParams> args{};
    std::uint32_t failedSlot = kNoArgument;  // the rgvarg index a failure concerns
};

// How an argument becomes a value of type wanted. Null, undefined and empty values become a null
// text for text parameters; references and objects that point nowhere are refused.
Conversion ConversionFor(const ArgShape& arg, std::uint16_t wanted);

// args holds the caller's arguments in rgvarg order (last first); only the first
// min(argc, kMaxParams) are needed, and none when the call fails before its arguments.
CallPlan PlanCall(const MemberShape& member, const CallShape& call, std::span<const ArgShape> args);

}  // namespace fw::rules
