#include "core/program_label.h"

namespace tessarin {
namespace {

String& label() {
    static String text(u"Tessarin Setup");
    return text;
}

}  // namespace

void setProgramLabel(const String& wide) {
    if (!wide.empty()) label() = wide;
}

const String& programLabelWide() {
    return label();
}

}  // namespace tessarin
