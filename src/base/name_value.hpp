// Name=Value lists: settings, command parameters, call-stack frames, variables and save
// information all follow one rule. The first line whose text before its first "=" matches the
// name (letter case ignored, sameText) wins; its value is the rest of the line, untrimmed.
// A line without "=" never matches.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "base/string_list.hpp"

namespace zarvo {

// Index of the first line named `name`, or -1.
int findNameLine(const StringList& list, std::string_view name);

// Value of the first line named `name`; false when there is none.
bool findNameValue(const StringList& list, std::string_view name, std::string_view& value);

std::string readListString(const StringList& list, std::string_view name,
                           std::string_view fallback);
int32_t readListInt(const StringList& list, std::string_view name, int32_t fallback);
bool readListBool(const StringList& list, std::string_view name, bool fallback);

// Replace the first line of that name, or append one.
void writeListString(StringList& list, std::string_view name, std::string_view value);
void writeListInt(StringList& list, std::string_view name, int32_t value);
void writeListBool(StringList& list, std::string_view name, bool value);

// Append without looking for an existing line.
void appendListString(StringList& list, std::string_view name, std::string_view value);
void appendListInt(StringList& list, std::string_view name, int32_t value);
void appendListBool(StringList& list, std::string_view name, bool value);

}  // namespace zarvo
