// How twainapp shows capabilities: names of the capabilities, item types and containers it knows, and one line for
// a container as a source returned it.
#pragma once

#include "platform/twain/twain.h"

#include <cstddef>
#include <string>

namespace twainapp {

std::string CapabilityName(TW_UINT16 cap);
std::string ItemTypeName(TW_UINT16 type);
std::string ContainerName(TW_UINT16 conType);
// "condition code 3 (no data source)": a condition code with what it means.
std::string ConditionText(TW_UINT16 code);
// "ENUMERATION FIX32 {75, [150], 300} default 150": the current item in brackets. `size` bounds every read.
std::string DescribeContainer(TW_UINT16 conType, const void* container, std::size_t size);

} // namespace twainapp
