// The stable names of an enum's values, kept in one table per enum: a
// value's name, a name's value, and every name in a list for help texts and
// messages.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace paltab {

template <typename Enum>
struct NamedValue {
    Enum value;
    std::string_view name;
};

template <typename Enum, std::size_t N>
constexpr std::string_view NameIn(const std::array<NamedValue<Enum>, N>& table, Enum value,
                                  std::string_view unknown) {
    for (const NamedValue<Enum>& entry : table) {
        if (entry.value == value) {
            return entry.name;
        }
    }
    return unknown;
}

template <typename Enum, std::size_t N>
constexpr std::optional<Enum> ValueIn(const std::array<NamedValue<Enum>, N>& table, std::string_view name) {
    for (const NamedValue<Enum>& entry : table) {
        if (entry.name == name) {
            return entry.value;
        }
    }
    return std::nullopt;
}

// "a, b, c".
template <typename Enum, std::size_t N>
std::string NameList(const std::array<NamedValue<Enum>, N>& table) {
    std::string list;
    for (const NamedValue<Enum>& entry : table) {
        list += list.empty() ? "" : ", ";
        list += entry.name;
    }
    return list;
}

}  // namespace paltab
