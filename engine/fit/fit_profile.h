#pragma once

// Which fields of which FIT messages the splitter takes, by the numbers of
// the FIT profile, and how a field's value lands in its message's struct.

#include "fit/fit_messages.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace kelvane {

// Global message numbers.
enum FitMessageNumber : std::uint16_t {
    kFitFileId = 0,
    kFitSession = 18,
    kFitLap = 19,
    kFitRecord = 20,
    kFitActivity = 34,
};

// The field every message may have: its time.
inline constexpr std::uint8_t kFitTimestampField = 253;

// One field's value as the decoder read it: a whole number for the integer
// base types (the first element of an array), the text for strings, and
// nothing when the field holds its invalid value or has another type.
struct FitValue {
    std::optional<std::int64_t> number;
    std::string_view text;
};

// Puts value into the message's member for field `number`. False when the
// message has no such member: the field is not read.
bool setFitField(FitFileId &message, unsigned number, const FitValue &value);
bool setFitField(FitRecord &message, unsigned number, const FitValue &value);
bool setFitField(FitLap &message, unsigned number, const FitValue &value);
bool setFitField(FitSession &message, unsigned number, const FitValue &value);
bool setFitField(FitActivity &message, unsigned number, const FitValue &value);

// Whether field `number` of global message `message` is read.
bool isReadFitField(unsigned message, unsigned number);

} // namespace kelvane
