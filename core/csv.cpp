#include "core/csv.h"

#include <cstring>

namespace tessarin {

bool csvNeedsQuotes(const char* field, int32_t length) {
    if (length <= 0) return false;
    if (field[0] == ' ' || field[0] == '\'' || field[0] == '#' || field[length - 1] == ' ')
        return true;
    for (int32_t i = 0; i < length; ++i)
        if (std::memchr(",\"\t\r\n;|", field[i], 7)) return true;
    return false;
}

namespace {

void appendQuoted(String& record, const String& field) {
    if (!csvNeedsQuotes(field.c_str(), field.length())) {
        record.append(field);
        return;
    }
    record.appendChar('"');
    for (int32_t i = 0; i < field.length(); ++i) {
        char c = field.c_str()[i];
        if (c == '"') record.appendChar('"');
        record.appendChar(c);
    }
    record.appendChar('"');
}

}  // namespace

void csvAppendField(String& record, const String& field) {
    if (!record.empty()) record.appendChar(',');
    appendQuoted(record, field);
}

String csvJoin(const Vector<String>& fields) {
    String record;
    for (int32_t i = 0; i < fields.count(); ++i) {
        if (i > 0) record.appendChar(',');
        appendQuoted(record, fields[i]);
    }
    return record;
}

// A quoted field runs to its closing quote ("" inside stands for one quote); text after the
// closing quote up to the next comma is kept, as is an unterminated quoted field.
Vector<String> csvSplit(const char* record, int32_t length) {
    Vector<String> fields;
    int32_t n = length == kWholeLength ? static_cast<int32_t>(narrowTextLength(record)) : length;
    if (!record || n <= 0) return fields;
    int32_t i = 0;
    while (true) {
        String field;
        if (i < n && record[i] == '"') {
            ++i;
            while (i < n) {
                if (record[i] == '"') {
                    if (i + 1 < n && record[i + 1] == '"') {
                        field.appendChar('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field.appendChar(record[i++]);
            }
        }
        int32_t start = i;
        while (i < n && record[i] != ',') ++i;
        field.append(record + start, i - start);
        fields.append(field);
        if (i >= n) break;
        ++i;  // the comma; a trailing comma yields a final empty field
        if (i == n) {
            fields.append(String());
            break;
        }
    }
    return fields;
}

}  // namespace tessarin
