// Comma-separated records. A field is quoted when it holds a comma, double quote, tab, CR, LF,
// semicolon or vertical bar, or begins with a space, apostrophe or "#", or ends with a space;
// inside quotes a double quote is doubled. The reader accepts what the writer produces.
#pragma once

#include "core/containers.h"
#include "core/string.h"

namespace tessarin {

bool csvNeedsQuotes(const char* field, int32_t length);
void csvAppendField(String& record, const String& field);  // adds a separator when not first
String csvJoin(const Vector<String>& fields);
// Splits one record (8-bit text, no line break) into its fields.
Vector<String> csvSplit(const char* record, int32_t length = kWholeLength);

}  // namespace tessarin
