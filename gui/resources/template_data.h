#pragma once

// Short names for writing the dialog templates and the languages as tables.
#include "gui/resources/resource_types.h"

namespace template_data {

using K = ControlKind;
constexpr unsigned H = ControlFlag::Hidden;
constexpr unsigned D = ControlFlag::Disabled;
constexpr unsigned RO = ControlFlag::ReadOnly;
constexpr unsigned NUM = ControlFlag::DigitsOnly;
constexpr unsigned DEF = ControlFlag::DefaultButton;
constexpr int S = kNoControlId;

template <typename Entry, int N>
constexpr int Count(const Entry (&)[N])
{
    return N;
}

} // namespace template_data
